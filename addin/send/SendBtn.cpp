// The click road of the send button and its refusals: the mail's
// recipients and attachments, the login, then the wizard and one of the two
// branches (SendWizard.cpp, SendInteractive.cpp, SendBroadcast.cpp).
#include "addin/send/SendBtn.h"
#include "classlib/strings/LoadText.h"
#include "shared/outlook/OutlookEnums.h"

#include <ctime>
#include <new>

#include "addin/AddinResource.h"
#include "addin/core/AddinProtocol.h"
#include "addin/core/CommandRun.h"
#include "addin/send/CollectAttachments.h"
#include "addin/send/DlgBadAttach.h"
#include "addin/send/SendClick.h"
#include "addin/send/SendRecipients.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/HResult.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/requests/RecipID.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/ui/DlgError.h"
#include "shared/ui/ProtocolUI.h"

using namespace automation;
using namespace sendroad;

namespace sendroad {

CString Now()
{
    const std::time_t now = std::time(nullptr);
    char text[128] = {};
    if (const std::tm* local = std::localtime(&now))
        std::strftime(text, sizeof text, "%c", local);
    return text;
}

CString RequestName(const CString& subject, const CString& time)
{
    return subject + " (" + time + ")";
}

CString TextOf(const VARIANT& value)
{
    if (value.vt != VT_BSTR || !value.bstrVal)
        return CString();
    return CBstr::ToNarrow(value.bstrVal, SysStringLen(value.bstrVal));
}

} // namespace sendroad

CSendBtn::CSendBtn(UINT captionId, UINT faceId, UINT maskId)
    : CCmdBtn(captionId, faceId, maskId),
      m_subjectPlaceholder(LoadText(IDS_SUBJECT_UNSPECIFIED, "subject unspecified")),
      m_attachmentPlaceholder(LoadText(IDS_ATTACHMENT_PLACEHOLDER, "<Outlook Attachment>"))
{}

CSendBtn::~CSendBtn() = default;

bool CSendBtn::IsSending()
{
    return CCommandRun::Running() == AddinCommand::kSend;
}

BOOL CSendBtn::CanClick()
{
    // Refused before the click takes the inspector's item: the send that
    // runs works on the item this button took for it.
    const AddinCommand running = CCommandRun::Running();
    if (running != AddinCommand::kNone) {
        ShowRefusal(CCommandRun::RefusalTextId(running, AddinCommand::kSend));
        return FALSE;
    }
    return !IsOffline(TRUE);
}

void CSendBtn::ShowRefusal(UINT messageId)
{
    CDlgError dialog(DialogOwner());
    dialog.m_details = LoadText(messageId);
    dialog.DoModal();
}

void CSendBtn::ShowRefusal(UINT messageId, const char* name)
{
    // The name is the mail's text: an argument, never part of the format.
    CString text;
    text.Format(LoadText(messageId), name ? name : "");
    CDlgError dialog(DialogOwner());
    dialog.m_details = text;
    dialog.DoModal();
}

HRESULT CSendBtn::OnClick()
{
    CLogBlock block("CSendBtn::OnClick");
    // Held to the click's end: no other command reconnects or lets go of
    // the service connection under this send's dialogs.
    CCommandRun run(AddinCommand::kSend);
    if (!run.Taken()) {
        ShowRefusal(CCommandRun::RefusalTextId(CCommandRun::Running(), AddinCommand::kSend));
        return S_OK;
    }
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
    m_mailSubject = click.mailSubject;

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
    if (!resolver.Unaddressed().IsEmpty()) {
        ShowRefusal(IDS_RECIPIENT_WITHOUT_ADDRESS, resolver.Unaddressed());
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
    if (!unsupported.IsEmpty() && config.GetShowAttachWarning() == 1) {
        CDlgBadAttach dialog(unsupported, DialogOwner());
        const INT_PTR answer = dialog.DoModal();
        // The wish not to be asked again counts whatever the answer.
        if (dialog.m_dontShowAgain)
            config.SetShowAttachWarning(0);
        if (answer != IDOK)
            return E_ABORT;
    }
    // The service would take an empty file and its signers would get
    // nothing to sign: the user hears of it before anything is sent.
    CString empty;
    if (FindEmptyAttachment(request, empty)) {
        ShowRefusal(IDS_EMPTY_ATTACHMENT, empty);
        return E_INVALIDARG;
    }
    return S_OK;
}
