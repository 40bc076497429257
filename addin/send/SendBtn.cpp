#include "addin/send/SendBtn.h"
#include "classlib/strings/LoadText.h"

#include <ctime>
#include <new>
#include <utility>

#include "addin/core/AddinProtocol.h"
#include "addin/AddinResource.h"
#include "addin/send/CollectAttachments.h"
#include "addin/send/DlgBadAttach.h"
#include "addin/send/DlgSteps.h"
#include "addin/send/GatewayEntry.h"
#include "addin/send/SendRecipients.h"
#include "addin/wizard/PgIntro.h"
#include "addin/wizard/PgSigPos.h"
#include "addin/wizard/PgSignSeq.h"
#include "addin/wizard/PgTemplate.h"
#include "addin/wizard/WizSheet.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/HResult.h"
#include "shared/SharedResource.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/Launcher.h"
#include "shared/requests/Broadcast.h"
#include "shared/requests/Receipt.h"
#include "shared/requests/RecipID.h"
#include "shared/service/OpAddDoc.h"
#include "shared/service/OpGetLink.h"
#include "shared/service/OpInvite.h"
#include "shared/service/OpParam.h"
#include "shared/service/OpSendDoc.h"
#include "shared/service/SendPlan.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/service/WebSvrAPI.h"
#include "shared/ui/DlgError.h"
#include "shared/ui/ProtocolUI.h"
#include "shared/xml/XMLIO.h"
#include "shared/outlook/OutlookEnums.h"

using namespace automation;

namespace {

// One send at a time in this process: a second click while a send waits
// in one of its dialogs would reconnect the connection under it.
bool g_sending = false;

class CSendingMark {
public:
    CSendingMark() { g_sending = true; }
    CSendingMark(const CSendingMark&) = delete;
    CSendingMark& operator=(const CSendingMark&) = delete;
    ~CSendingMark() { g_sending = false; }
};

// The local date and time, as the C library's "%c" writes it.
CString Now()
{
    const std::time_t now = std::time(nullptr);
    char text[128] = {};
    if (const std::tm* local = std::localtime(&now))
        std::strftime(text, sizeof text, "%c", local);
    return text;
}

// "subject (time)": the request's name on the service.
CString RequestName(const CString& subject, const CString& time)
{
    return subject + " (" + time + ")";
}

// The path of the module this code is in (QuillOff.dll; a test program
// that links the add-in in): the agent lives beside it.
CString ThisModulePath()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&ThisModulePath), &module))
        return CString();
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(module, path, sizeof path);
    return length && length < sizeof path ? CString(path) : CString();
}

CString TextOf(const VARIANT& value)
{
    if (value.vt != VT_BSTR || !value.bstrVal)
        return CString();
    return CBstr::ToNarrow(value.bstrVal, SysStringLen(value.bstrVal));
}

// The extension a decoded embedded document is saved with: that of its own
// name (".docx" for "nda.docx"), ".pdf" when the name has none. Only
// letters and digits: the extension becomes part of a file name pattern.
CString ExtensionOf(const CString& name)
{
    const int dot = name.ReverseFind('.');
    if (dot < 0 || dot + 1 >= name.GetLength())
        return ".pdf";
    const CString extension = name.Mid(dot + 1);
    for (int i = 0; i < extension.GetLength(); ++i) {
        const char ch = extension[i];
        if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')))
            return ".pdf";
    }
    return "." + extension;
}

// Every file a broadcast has written so far: when the broadcast does not go
// to the agent, nobody else will delete them.
class CWrittenFiles {
public:
    CWrittenFiles() = default;
    CWrittenFiles(const CWrittenFiles&) = delete;
    CWrittenFiles& operator=(const CWrittenFiles&) = delete;
    ~CWrittenFiles()
    {
        if (m_keep)
            return;
        for (POSITION pos = m_paths.GetHeadPosition(); pos;) {
            const CString& path = m_paths.GetNext(pos);
            if (!path.IsEmpty())
                DeleteFileA(path);
        }
    }

    // The operation file and the pieces it names.
    void AddOperation(const OpQuillet& op, const CString& opFile)
    {
        m_paths.AddTail(opFile);
        for (POSITION pos = op.m_castlets.GetHeadPosition(); pos;)
            m_paths.AddTail(op.m_castlets.GetNext(pos)->m_path);
    }
    void Add(const CString& path) { m_paths.AddTail(path); }
    // The agent has them now.
    void HandOver() { m_keep = true; }

private:
    CStringList m_paths;
    bool m_keep = false;
};

} // namespace

// What one click makes and the common end lets go of.
struct CSendBtn::CClick {
    std::unique_ptr<OpSendDoc> ownedRequest; // until the step dialog takes it
    OpSendDoc* request = nullptr;
    std::unique_ptr<CDlgSteps> steps;
    CString mailSubject; // the mail's own, before any placeholder

    ~CClick()
    {
        if (request) {
            request->FreeParts();
            request->FreeRecipients();
        }
        // The dialog deletes its steps with their operations, the request
        // among them.
        steps.reset();
    }
};

CSendBtn::CSendBtn(UINT captionId, UINT faceId, UINT maskId)
    : CCmdBtn(captionId, faceId, maskId),
      m_subjectPlaceholder(LoadText(IDS_SUBJECT_UNSPECIFIED, "subject unspecified")),
      m_attachmentPlaceholder(LoadText(IDS_ATTACHMENT_PLACEHOLDER, "<Outlook Attachment>"))
{}

CSendBtn::~CSendBtn() = default;

bool CSendBtn::IsSending()
{
    return g_sending;
}

BOOL CSendBtn::CanClick()
{
    // Refused before the click takes the inspector's item: the send that
    // runs works on the item this button took for it.
    if (g_sending) {
        TheLog().Comment("A send is already running");
        ShowRefusal(IDS_SEND_RUNNING);
        return FALSE;
    }
    return !IsOffline(TRUE);
}

void CSendBtn::ShowRefusal(UINT messageId)
{
    CDlgError dialog;
    dialog.m_details = LoadText(messageId);
    dialog.DoModal();
}

HRESULT CSendBtn::OnClick()
{
    CLogBlock block("CSendBtn::OnClick");
    if (g_sending) {
        TheLog().Comment("A send is already running");
        ShowRefusal(IDS_SEND_RUNNING);
        return S_OK;
    }
    CSendingMark sending;
    // Held for the whole send: the button's own item is the click's, which
    // ends with every click (a refused second one too).
    m_sendItem = IsObject(m_item) ? CComPtr<IDispatch>(m_item.pdispVal) : CComPtr<IDispatch>();
    HRESULT hr = S_OK;
    {
        CClick click;
        try {
            hr = Send(click);
        } catch (const CHResultError& failure) {
            hr = failure.hr;
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
    }
    m_sendItem = CComPtr<IDispatch>();
    if (hr != S_OK)
        TheLog().HResult("CSendBtn::OnClick", hr);
    return S_OK;
}

HRESULT CSendBtn::Send(CClick& click)
{
    IDispatch* item = m_sendItem.Get();
    if (!item)
        ThrowHResult(E_FAIL, "no mail item");
    m_clickTime = Now();
    CString serviceUrl;
    THROW_IF_FAILED(CConfig().GetServiceUrl(serviceUrl, nullptr));

    TheLog().Comment("Creating OpSendDoc Transaction object");
    click.ownedRequest.reset(new (std::nothrow) OpSendDoc(serviceUrl));
    if (!click.ownedRequest)
        return E_OUTOFMEMORY;
    click.request = click.ownedRequest.get();
    OpSendDoc& request = *click.request;

    // ---- recipients ----
    TheLog().Comment("Determine the number of Recipients");
    CVariant recipients;
    THROW_IF_FAILED(GetProp(item, L"Recipients", recipients.Put()));
    if (!IsObject(recipients))
        ThrowHResult(E_FAIL, "no recipients");
    CVariant countValue;
    THROW_IF_FAILED(GetProp(recipients.pdispVal, L"Count", countValue.Put()));
    CVariant count;
    THROW_IF_FAILED(VariantChangeType(&count, &countValue, 0, VT_I4));
    if (count.lVal <= 0) {
        ShowRefusal(IDS_NO_SMTP_RECIPIENT);
        return E_INVALIDARG;
    }
    HRESULT hr = ResolveRecipients(request, recipients.pdispVal, count.lVal);
    if (hr != S_OK)
        return hr;
    hr = CollectMailAttachments(request);
    if (hr != S_OK)
        return hr;

    // ---- subject ----
    CVariant subject;
    if (SUCCEEDED(GetProp(item, L"Subject", subject.Put())))
        request.m_request.m_subject = TextOf(subject);
    if (request.m_request.m_subject.IsEmpty())
        request.m_request.m_subject = m_subjectPlaceholder;
    else
        click.mailSubject = request.m_request.m_subject;

    // ---- login ----
    const HRESULT login = Login(serviceUrl);
    if (login != S_OK)
        return login;

    CSendOptions options;
    options.m_string1 = RequestName(request.m_request.m_subject, m_clickTime);
    options.m_attachCount = m_attachCount;
    request.m_credentials = m_credentials;
    request.m_request.m_sendOptions = options;

    const HRESULT wizard = RunSendWizard(request);
    if (wizard != S_OK)
        return wizard;

    if (request.m_request.m_sendOptions.m_sendMode == CSendOptions::kBroadcast)
        return SendBroadcast(click, serviceUrl);
    return SendInteractively(click, serviceUrl);
}

HRESULT CSendBtn::Login(const char* serviceUrl)
{
    // The process's protocol object, shared with the sync command; the
    // add-in's shutdown lets it go.
    HRESULT hr = EnsureAddinProtocol(m_application);
    if (FAILED(hr))
        return hr;
    hr = FireUpProtocol(serviceUrl);
    if (FAILED(hr))
        return hr;
    return ServiceGlobals().protocol->Login(m_credentials);
}

// ---- the mail's recipients and attachments ----

HRESULT CSendBtn::ResolveRecipients(OpSendDoc& request, IDispatch* recipients, long count)
{
    m_toCount = 0;
    CSendRecipients resolver(m_application, m_credentials, m_toCount);
    BOOL found = FALSE;
    bool bcc = false;
    for (long i = 1; i <= count; ++i) {
        CVariant recipient;
        VARIANT args[] = {LongArg(i)};
        if (FAILED(CallMethod(recipients, L"Item", recipient.Put(), 1, args)) ||
            !IsObject(recipient))
            continue;
        TheLog().Comment("Processing Recipient");
        // A type that cannot be read counts as To.
        long type = 1;
        CVariant typeValue;
        CVariant number;
        if (SUCCEEDED(GetProp(recipient.pdispVal, L"Type", typeValue.Put())) &&
            SUCCEEDED(VariantChangeType(&number, &typeValue, 0, VT_I4)))
            type = number.lVal;
        if (type == ol::kRecipientBcc)
            bcc = true;
        CRecipID id;
        if (resolver.ProcessRecipient(recipient.pdispVal, id, type, &request, found, TRUE) !=
            S_OK) {
            ShowRefusal(IDS_INVALID_RECIPIENT);
            return E_INVALIDARG;
        }
    }
    if (!found || m_toCount == 0) {
        ShowRefusal(IDS_NO_SMTP_RECIPIENT);
        return E_INVALIDARG;
    }
    if (bcc) {
        ShowRefusal(IDS_BCC_RECIPIENT);
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CSendBtn::CollectMailAttachments(OpSendDoc& request)
{
    int count = 0;
    CString unsupported;
    const HRESULT hr = CollectAttachments(m_sendItem.Get(), &request, count, unsupported);
    if (hr == E_OUTOFMEMORY)
        return hr;
    if (FAILED(hr))
        TheLog().HResult("CollectAttachments", hr);
    m_attachCount = count;
    request.m_request.m_sendOptions.m_attachCount = count;
    CConfig config;
    if (unsupported.IsEmpty() || config.GetShowAttachWarning() != 1)
        return S_OK;
    CDlgBadAttach dialog(unsupported);
    const INT_PTR answer = dialog.DoModal();
    // The wish not to be asked again counts whatever the answer.
    if (dialog.m_dontShowAgain)
        config.SetShowAttachWarning(0);
    return answer == IDOK ? S_OK : E_ABORT;
}

// ---- the wizard ----

HRESULT CSendBtn::RunSendWizard(OpSendDoc& request)
{
    CLogBlock block("CSendBtn::RunSendWizard");
    CServiceGlobals& globals = ServiceGlobals();
    CString serviceUrl;
    RETURN_IF_FAILED(CConfig().GetServiceUrl(serviceUrl, nullptr));
    if (!globals.protocol)
        return E_FAIL;
    globals.protocol->Disconnect();
    RETURN_IF_FAILED(globals.protocol->Connect(serviceUrl));

    CConfig config;
    const bool showIntro = config.GetShowWizIntro() == 1;
    const bool templatesOnly = config.GetTemplatesOnly() == 1;
    const bool singleClick = config.GetSingleClick() == 1;
    const bool hasAttachments = m_attachCount > 0;

    CWizSheet sheet(&m_credentials, globals.api, IDS_WIZ_CAPTION,
                    GetParentWindow(CDispatcher::kPreferInspector));
    sheet.m_request = request.m_request;
    sheet.m_saved = sheet.m_request;

    int fitting = 0;
    CTemplate found;
    sheet.m_library.LoadTemplates(nullptr);
    // Templates whose document is the mail's attachment need one; a mail
    // without one needs a template that brings its own document.
    sheet.m_library.FindMatches(&sheet.m_request, fitting, &found, nullptr,
                                hasAttachments ? "" : m_attachmentPlaceholder.GetString());
    if (!hasAttachments && fitting == 0) {
        ShowRefusal(IDS_NO_ATTACHMENT_NO_TEMPLATE);
        return E_INVALIDARG;
    }

    CPgIntro intro(CWizPage::kFirstPage);
    CPgTemplate templatePage(fitting > 0 && showIntro ? CWizPage::kMiddlePage
                                                      : CWizPage::kFirstPage);
    CPgSigPos sigPos(fitting > 0 ? CWizPage::kMiddlePage : CWizPage::kFirstPage);
    CPgSignSeq signSeq(CWizPage::kLastPage);
    if (showIntro)
        sheet.AddPage(&intro);
    if (fitting > 0)
        sheet.AddPage(&templatePage);
    sheet.AddPage(&sigPos);
    sheet.AddPage(&signSeq);
    sheet.SetWizardMode();

    if (templatesOnly && fitting == 0) {
        ShowRefusal(IDS_TEMPLATES_ONLY_NONE_FITS);
        return E_FAIL;
    }

    bool showWizard = true;
    if (templatesOnly && singleClick && fitting == 1 && found.m_signatureDoc) {
        const CTempDoc& document = *found.m_signatureDoc;
        const bool usesAttachment = document.m_key == m_attachmentPlaceholder;
        const bool embedded = document.m_kind == CTempDoc::kEmbedded;
        if (SUCCEEDED(sheet.m_request.ApplyTemplate(&found)) &&
            ((usesAttachment && hasAttachments) || (embedded && !hasAttachments)))
            showWizard = false;
        else
            sheet.m_request = sheet.m_saved;
    }
    if (showWizard) {
        if (sheet.DoModal() != ID_WIZFINISH)
            return kUserCancelled;
        TheLog().Comment("Send Wizard returned IDOK");
        if (showIntro && intro.m_dontShowAgain)
            config.SetShowWizIntro(0);
    }

    CSendOptions& sheetOptions = sheet.m_request.m_sendOptions;
    if (sheetOptions.m_string1.IsEmpty())
        sheetOptions.m_string1 = RequestName(request.m_request.m_subject, Now());

    // The message before the wizard: a template's message replaces the
    // mail's own only where asked (below).
    const CString ownMessage = sheet.m_saved.m_message;
    request.m_request = sheet.m_request;
    sheet.m_request.m_keywordValues.RemoveAll();

    // The signers the wizard added (a template's, the user's own) become
    // recipients of the mail, so it shows whom it went to.
    for (POSITION pos = request.m_request.m_signers.GetHeadPosition(); pos;) {
        const CRecip* signer = request.m_request.m_signers.GetNext(pos);
        if (!signer->m_fromMail && !signer->m_skip)
            AddMailRecipient(signer->m_email);
    }
    for (POSITION pos = request.m_request.m_signers.GetHeadPosition(); pos;) {
        CRecip* signer = request.m_request.m_signers.GetNext(pos);
        if (signer->m_role.IsEmpty())
            continue;
        for (POSITION at = sheet.m_request.m_roles.GetHeadPosition(); at;) {
            const CRole* role = sheet.m_request.m_roles.GetNext(at);
            if (role->m_name == signer->m_role) {
                signer->m_sequence = role->m_sequence;
                signer->m_sequenceText = role->m_sequenceText;
                break;
            }
        }
    }

    bool templateMessage = false;
    if (request.m_request.m_signatureDoc) {
        bool fill = templatesOnly || sheet.m_saved.m_subject.IsEmpty();
        if (templatesOnly || request.IsMessageEmpty()) {
            templateMessage = true;
            fill = true;
        }
        if (!templateMessage)
            request.m_request.m_message = ownMessage;
        if (fill)
            RETURN_IF_FAILED(ReplaceKeywords(request));
        RETURN_IF_FAILED(AttachTemplateDocuments(request));
    } else {
        request.m_request.m_message = ownMessage;
    }

    if (request.m_request.m_subject.IsEmpty()) {
        request.DefaultSubject();
        SetItemSubject(request);
    }
    return S_OK;
}

bool CSendBtn::ReplaceKeyword(OpSendDoc& request, const char* placeholder, const char* replacement)
{
    CTemplate& model = request.m_request;
    if (model.IsBroadcast()) {
        // The agent fills them per recipient.
        return model.m_subject.Find(placeholder) >= 0 || model.m_message.Find(placeholder) >= 0;
    }
    int replaced = model.m_subject.Replace(placeholder, replacement);
    if (!model.m_message.IsEmpty())
        replaced += model.m_message.Replace(placeholder, replacement);
    return replaced > 0;
}

HRESULT CSendBtn::ReplaceKeywords(OpSendDoc& request)
{
    CLogBlock block("CSendBtn::ReplaceKeywords");
    bool any = false;
    const CString& password = request.m_request.m_sendOptions.m_password;
    if (!password.IsEmpty())
        any |= ReplaceKeyword(request, LoadText(IDS_PASSWORD_PLACEHOLDER, "[Password]"), password);
    for (POSITION pos = request.m_request.m_signers.GetHeadPosition(); pos;) {
        const CRecip* signer = request.m_request.m_signers.GetNext(pos);
        if (signer->m_role.IsEmpty())
            continue;
        // Role names are the template author's text: put together, never
        // used as a format.
        const CString placeholder = "[" + signer->m_role + "]";
        any |= ReplaceKeyword(request, placeholder,
                              signer->m_name.IsEmpty() ? signer->m_email : signer->m_name);
    }
    if (any)
        request.m_roleMap = 1;
    return S_OK;
}

HRESULT CSendBtn::AttachDocument(OpSendDoc& request, const CTempDoc& document)
{
    IDispatch* item = m_sendItem.Get();
    CString file = document.m_kind == CTempDoc::kEmbedded && !document.m_embeddedPath.IsEmpty()
                       ? document.m_embeddedPath
                       : document.m_key;
    CString decoded;
    const int dot = file.ReverseFind('.');
    if (dot >= 0 && file.Mid(dot).CompareNoCase(".tmp") == 0) {
        // The template's bytes, kept as base64: the document as its own
        // kind of file (its name says which), not always a PDF.
        RETURN_IF_FAILED(CXMLIO::DecodeFileToTemp(file, ExtensionOf(document.m_name), decoded));
        file = decoded;
    }
    CVariant attachments;
    HRESULT hr = GetProp(item, L"Attachments", attachments.Put());
    if (SUCCEEDED(hr) && !IsObject(attachments))
        hr = E_FAIL;
    CVariant added;
    if (SUCCEEDED(hr)) {
        CBstr source(file);
        CBstr name(document.m_name);
        // Automation order: the last parameter first.
        VARIANT args[] = {BorrowedTextArg(name.Get()), LongArg(ol::kAttachAtEnd),
                          LongArg(ol::kAttachByValue), BorrowedTextArg(source.Get())};
        hr = CallMethod(attachments.pdispVal, L"Add", added.Put(), 4, args);
    }
    // The item keeps its own copy.
    if (!decoded.IsEmpty())
        DeleteFileA(decoded);
    RETURN_IF_FAILED(hr);
    if (!IsObject(added))
        return E_FAIL;
    CVariant index;
    RETURN_IF_FAILED(GetProp(added.pdispVal, L"Index", index.Put()));
    CVariant number;
    RETURN_IF_FAILED(VariantChangeType(&number, &index, 0, VT_I4));
    auto part = std::unique_ptr<CBodyPart>(new (std::nothrow) CBodyPart(
        added.pdispVal, number.lVal, document.m_name, "Attachment", document.m_type));
    if (!part)
        return E_OUTOFMEMORY;
    request.AppendPart(part.release());
    return S_OK;
}

HRESULT CSendBtn::AttachTemplateDocuments(OpSendDoc& request)
{
    CLogBlock block("CSendBtn::AttachTemplateDocuments");
    CTemplate& model = request.m_request;
    if (!model.m_signatureDoc || !m_sendItem)
        return E_INVALIDARG;
    if (!(model.m_signatureDoc->m_key == m_attachmentPlaceholder))
        RETURN_IF_FAILED(AttachDocument(request, *model.m_signatureDoc));
    if (model.m_referenceDoc)
        RETURN_IF_FAILED(AttachDocument(request, *model.m_referenceDoc));
    if (model.m_infoDoc)
        RETURN_IF_FAILED(AttachDocument(request, *model.m_infoDoc));
    RETURN_IF_FAILED(SetItemProperty(L"Subject", model.m_subject, FALSE));
    if (!model.m_message.IsEmpty())
        RETURN_IF_FAILED(SetItemProperty(L"Body", model.m_message, FALSE));
    return CallMethod(m_sendItem.Get(), L"Save", nullptr, 0, nullptr);
}

HRESULT CSendBtn::AddMailRecipient(const char* address)
{
    if (!m_sendItem || !address)
        return E_INVALIDARG;
    CVariant recipients;
    RETURN_IF_FAILED(GetProp(m_sendItem.Get(), L"Recipients", recipients.Put()));
    if (!IsObject(recipients))
        return E_FAIL;
    CBstr text(address);
    VARIANT args[] = {BorrowedTextArg(text.Get())};
    CVariant added;
    RETURN_IF_FAILED(CallMethod(recipients.pdispVal, L"Add", added.Put(), 1, args));
    CVariant resolved;
    return CallMethod(recipients.pdispVal, L"ResolveAll", resolved.Put(), 0, nullptr);
}

HRESULT CSendBtn::SetItemSubject(OpSendDoc& request)
{
    if (request.m_request.m_subject.IsEmpty())
        return S_OK;
    return SetItemProperty(L"Subject", request.m_request.m_subject, TRUE);
}

HRESULT CSendBtn::SetItemProperty(const wchar_t* name, const char* text, BOOL save)
{
    if (!m_sendItem)
        return E_INVALIDARG;
    RETURN_IF_FAILED(PutText(m_sendItem.Get(), name, text));
    if (save)
        return CallMethod(m_sendItem.Get(), L"Save", nullptr, 0, nullptr);
    return S_OK;
}

void CSendBtn::ShowShortcuts()
{
    CLogBlock block("CSendBtn::ShowShortcuts");
    CVariant explorer;
    CVariant panes;
    CVariant pane;
    if (FAILED(CallMethod(m_application, L"ActiveExplorer", explorer.Put(), 0, nullptr)) ||
        !IsObject(explorer) || FAILED(GetProp(explorer.pdispVal, L"Panes", panes.Put())) ||
        !IsObject(panes))
        return;
    CBstr name(L"OutlookBar");
    VARIANT args[] = {BorrowedTextArg(name.Get())};
    if (FAILED(CallMethod(panes.pdispVal, L"Item", pane.Put(), 1, args)) || !IsObject(pane))
        return;
    VARIANT visible = BoolArg(true);
    PutProp(pane.pdispVal, L"Visible", &visible);
}

// ---- the two ways out ----

namespace {

// What the step dialog shows for each step of the plan: pending and done.
struct CStepTextIds {
    UINT pending;
    UINT done;
};

CStepTextIds StepTextIds(SendStep step)
{
    switch (step) {
    case SendStep::kCreate:
        return {IDS_STEP_CREATE, IDS_STEP_CREATED};
    case SendStep::kUpload:
        return {IDS_STEP_UPLOAD, IDS_STEP_UPLOADED};
    case SendStep::kSetParams:
        return {IDS_STEP_SET_PARAMS, IDS_STEP_PARAMS_SET};
    case SendStep::kGetLink:
        return {IDS_STEP_GET_LINK, IDS_STEP_GOT_LINK};
    case SendStep::kEditLocations:
        return {IDS_STEP_EDIT_LOCATIONS, IDS_STEP_LOCATIONS_EDITED};
    case SendStep::kInvite:
        return {IDS_STEP_INVITE, IDS_STEP_INVITED};
    }
    return {0, 0};
}

} // namespace

HRESULT CSendBtn::AddSendSteps(CDlgSteps& dialog, std::unique_ptr<OpSendDoc>& request,
                               const char* serviceUrl, OpGetLink** link)
{
    if (!request)
        return E_INVALIDARG;
    OpSendDoc& model = *request;
    const CString* linkText = nullptr;
    for (const CPlannedStep& planned : PlanSend(model)) {
        auto step = std::unique_ptr<CStepOp>(new (std::nothrow) CStepOp());
        if (!step)
            return E_OUTOFMEMORY;
        const CStepTextIds texts = StepTextIds(planned.step);
        if (planned.step == SendStep::kUpload) {
            step->m_pendingText.Format(LoadText(texts.pending),
                                       planned.part->m_fileName.GetString());
            step->m_doneText.Format(LoadText(texts.done), planned.part->m_fileName.GetString());
        } else {
            step->m_pendingText = LoadText(texts.pending);
            step->m_doneText = LoadText(texts.done);
        }
        if (planned.step == SendStep::kCreate) {
            // From here on the dialog owns the request.
            step->m_op = std::move(request);
        } else if (planned.step == SendStep::kEditLocations) {
            step->m_questionText = LoadText(IDS_STEP_LOCATIONS_QUESTION);
            step->m_linkText = linkText;
            step->m_question = 1;
        } else {
            step->m_op = MakeStepOperation(planned, model, serviceUrl);
            if (!step->m_op)
                return E_OUTOFMEMORY;
            if (planned.step == SendStep::kGetLink) {
                auto* getLink = static_cast<OpGetLink*>(step->m_op.get());
                linkText = &getLink->m_result;
                if (link)
                    *link = getLink;
            }
        }
        dialog.AddStep(std::move(step));
    }
    return S_OK;
}

HRESULT CSendBtn::SendInteractively(CClick& click, const CString& serviceUrl)
{
    OpSendDoc& request = *click.request;
    click.steps.reset(new (std::nothrow) CDlgSteps());
    if (!click.steps)
        return E_OUTOFMEMORY;
    OpGetLink* link = nullptr;
    RETURN_IF_FAILED(AddSendSteps(*click.steps, click.ownedRequest, serviceUrl, &link));

    const INT_PTR result = click.steps->DoModal();
    const bool succeeded = result == IDOK && click.steps->m_ok && request.GetErrorCode() == 0;
    if (!succeeded) {
        if (!click.steps->m_handled)
            ShowError(request.GetErrorCode(), request.GetErrorText());
        return E_ABORT;
    }

    const CString receiptLink = link ? link->m_result : CString();
    const CString results = TellGateways(request, receiptLink);
    if (CConfig().GetMakeReceipt() == 1)
        MakeReceipt(request, receiptLink, results);
    if (CConfig().GetGotoShortcuts() == 1)
        ShowShortcuts();
    FinishItem("interactive send");
    return S_OK;
}

void CSendBtn::FinishItem(const char* why)
{
    IDispatch* item = m_sendItem.Get();
    TheLog().Comment("Flagging Item as Sent");
    MarkItemSent(item);
    TheLog().Comment("Calling Item's Close Method");
    VARIANT args[] = {LongArg(ol::kCloseSave)};
    if (FAILED(CallMethod(item, L"Close", nullptr, 1, args)))
        TheLog().Comment("Close Method failed!");
    const HRESULT deleted = CallMethod(item, L"Delete", nullptr, 0, nullptr);
    if (FAILED(deleted))
        TheLog().HResult(why, deleted);
}

HRESULT CSendBtn::SendBroadcast(CClick& click, const CString& serviceUrl)
{
    OpSendDoc& request = *click.request;
    IDispatch* item = m_sendItem.Get();
    auto broadcast = std::make_unique<CBroadcast>();
    CWrittenFiles written;

    // An operation file that cannot be written: the user is told and what
    // was written goes again.
    auto refuse = [this](HRESULT hr) {
        ShowRefusal(IDS_BROADCAST_NOT_FORMULATED);
        return FAILED(hr) ? hr : E_FAIL;
    };
    auto save = [&](OpQuillet& op, CString& path) {
        const HRESULT hr = op.SaveOpFile(path);
        if (SUCCEEDED(hr))
            written.AddOperation(op, path);
        return hr;
    };

    // The agent places no signatures: the question step has no file.
    for (const CPlannedStep& planned : PlanSend(request)) {
        if (planned.step == SendStep::kEditLocations)
            continue;
        HRESULT hr = S_OK;
        if (planned.step == SendStep::kCreate) {
            hr = save(request, broadcast->m_createSignaturePath);
        } else {
            std::unique_ptr<OpQuillet> op = MakeStepOperation(planned, request, serviceUrl);
            if (!op)
                return E_OUTOFMEMORY;
            CString path;
            hr = save(*op, path);
            if (SUCCEEDED(hr)) {
                switch (planned.step) {
                case SendStep::kUpload:
                    broadcast->m_addDocumentPaths.AddTail(path);
                    break;
                case SendStep::kSetParams:
                    broadcast->m_setParamsPath = path;
                    break;
                case SendStep::kGetLink:
                    broadcast->m_getLinkPath = path;
                    break;
                case SendStep::kInvite:
                    broadcast->m_sendInvitePath = path;
                    break;
                case SendStep::kCreate:
                case SendStep::kEditLocations:
                    break;
                }
            }
        }
        if (FAILED(hr))
            return refuse(hr);
    }

    CVariant entryId;
    if (SUCCEEDED(GetProp(item, L"EntryID", entryId.Put())))
        broadcast->m_entryId = TextOf(entryId);
    CSendOptions& receipt = request.m_request.m_sendOptions;
    if (receipt.m_receiptSubject.IsEmpty())
        receipt.m_receiptSubject = LoadText(IDS_RECEIPT_SUBJECT, "[Signer] %s");
    if (receipt.m_categoryTags.IsEmpty())
        receipt.m_categoryTags = LoadText(IDS_RECEIPT_CATEGORY, "Quillet");
    // The user's text: "%s" is filled as it stands, never as a format.
    receipt.m_receiptSubject.Replace("%s", click.mailSubject.IsEmpty() ? request.m_request.m_subject
                                                                       : click.mailSubject);

    const char* broadcastFile = broadcast->Write(request);
    if (!broadcastFile)
        return refuse(E_FAIL);
    const CString broadcastPath = broadcastFile;
    written.Add(broadcastPath);
    CLauncher launcher;
    if (!launcher.LaunchModuleProgram(ThisModulePath(), "inkProxy.exe", broadcastPath)) {
        // Nobody will send these files: they go, and the mail stays.
        ShowRefusal(IDS_AGENT_NOT_STARTED);
        return E_FAIL;
    }
    written.HandOver();
    FinishItem("broadcast");
    return S_OK;
}

CString CSendBtn::TellGateways(OpSendDoc& request, const CString& link)
{
    CString results;
    const HRESULT hr = CallGateways(&request, link, results);
    if (FAILED(hr))
        TheLog().HResult("CallGateways", hr);
    return results;
}

void CSendBtn::MakeReceipt(OpSendDoc& request, const CString& link, const CString& results)
{
    CReceipt receipt(m_application, CReceipt::kTaskReceipt);
    if (link.IsEmpty())
        return;
    receipt.AddItem(m_sendItem.Get(), "MailItem", request.m_result, link);
    if (!results.IsEmpty())
        receipt.SetExtraText(results);
    receipt.Generate(nullptr, TRUE, nullptr);
}
