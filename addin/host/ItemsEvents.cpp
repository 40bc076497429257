#include "addin/host/ItemsEvents.h"

#include <memory>
#include <new>

#include "addin/AddinResource.h"
#include "addin/core/PostedWork.h"
#include "classlib/strings/LoadText.h"
#include "classlib/com/CVariant.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/requests/BodyPart.h"
#include "shared/requests/Recip.h"
#include "shared/requests/TempDoc.h"
#include "shared/requests/Template.h"

using namespace automation;

namespace {

const CEventEntry kItemsTable[] = {{0xF001, 1, "ItemAdd"}, {0, 0, nullptr}};

// The temporary copy of the attachment goes whatever the import did.
struct CTempFile {
    CTempFile() = default;
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    ~CTempFile()
    {
        if (!path.IsEmpty())
            DeleteFileA(path);
    }
    CString path;
};

// A text from the mail, shortened for a message box.
CString Shown(const CString& text)
{
    constexpr int kLongest = 80;
    return text.GetLength() <= kLongest ? text : text.Left(kLongest) + "...";
}

// What the question shows: the template's name, its documents and the
// signers it adds to every request, and whether it replaces one.
CString DescribeImport(const CTemplate& tmpl, const CString& placeholder, bool replaces)
{
    CString documents;
    for (const CTempDoc* doc :
         {tmpl.m_signatureDoc.get(), tmpl.m_referenceDoc.get(), tmpl.m_infoDoc.get()}) {
        if (!doc)
            continue;
        if (!documents.IsEmpty())
            documents += ", ";
        documents += doc->m_key == placeholder
                         ? LoadText(IDS_TEMPLATE_IMPORT_MAIL_DOCUMENT, "the mail's attachments")
                         : Shown(doc->m_name);
    }
    if (documents.IsEmpty())
        documents = LoadText(IDS_TEMPLATE_IMPORT_NO_DOCUMENTS, "none");
    CString signers;
    for (POSITION at = tmpl.m_signers.GetHeadPosition(); at;) {
        const CRecip* signer = tmpl.m_signers.GetNext(at);
        // The sender stands for whoever sends: no stranger.
        if (!signer->m_hardCoded || signer->m_sender)
            continue;
        if (!signers.IsEmpty())
            signers += ", ";
        signers += Shown(signer->m_name) + " <" + Shown(signer->m_email) + ">";
    }
    if (signers.IsEmpty())
        signers = LoadText(IDS_TEMPLATE_IMPORT_NO_SIGNERS, "none");
    CString question = LoadText(IDS_TEMPLATE_IMPORT_QUESTION);
    CString holds;
    holds.Format(LoadText(IDS_TEMPLATE_IMPORT_HOLDS), Shown(tmpl.m_name).GetString(),
                 documents.GetString(), signers.GetString());
    question += "\n\n" + holds;
    if (replaces) {
        CString replacing;
        replacing.Format(LoadText(IDS_TEMPLATE_IMPORT_REPLACES), Shown(tmpl.m_name).GetString());
        question += "\n\n" + replacing;
    }
    return question;
}

} // namespace

const IID CItemsEvents::kEvents = {0x00063077, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

CItemsEvents::CItemsEvents() : CEventHandler(kItemsTable) {}

HRESULT CItemsEvents::Connect(IDispatch* items)
{
    if (items)
        m_source = CComPtr<IDispatch>(items);
    return CEventHandler::Connect(m_source.Get());
}

HRESULT CItemsEvents::OnInvoke(DISPID, DISPPARAMS* params)
{
    if (IsOffline(FALSE))
        return S_OK;
    TheLog().Comment("CItemsEvents::OnInvoke");
    CComPtr<IDispatch> item(EventObject(params, 0, 1));
    if (!item)
        return S_OK;
    // The sink and the item stay until the work ran (or was dropped).
    CComPtr<CItemsEvents> self(this);
    const HRESULT hr = ThePostedWork().Post([self, item] {
        TheLog().Comment("Calling OnItemAddChange");
        const HRESULT result = self->OnItemAddChange(item.Get());
        if (FAILED(result))
            TheLog().HResult("CItemsEvents::OnItemAddChange", result);
    });
    if (FAILED(hr))
        TheLog().HResult("CItemsEvents::OnInvoke", hr);
    return S_OK;
}

HRESULT CItemsEvents::OnItemAddChange(IDispatch* item)
{
    if (!item)
        return S_FALSE;
    CString subject;
    CString expected;
    expected.LoadString(IDS_TEMPLATE_SUBJECT);
    if (FAILED(CDispatcher::GetTextProp(item, L"Subject", subject)) || !(subject == expected))
        return S_FALSE;
    long itemClass = 0;
    if (FAILED(CDispatcher::GetLongProp(item, L"Class", itemClass)) || itemClass != ol::kClassMail)
        return S_FALSE;
    CTemplate tmpl;
    CTempFile temp;
    HRESULT hr = ReadTemplateAttachment(item, tmpl, temp.path);
    if (FAILED(hr))
        return hr;
    CConfig config;
    CString folder;
    hr = config.GetTemplateFolder(folder);
    if (FAILED(hr))
        return hr;
    // The name comes from the mail: it must be a plain file name that stays
    // inside the template folder, and one the file functions can take,
    // before the user is asked anything.
    CString target;
    if (!CTemplate::IsValidName(tmpl.m_name) ||
        FAILED(CTemplate::PathInFolder(folder, tmpl.m_name + ".xml", target))) {
        CString text;
        text.Format(LoadText(IDS_TEMPLATE_REFUSED_NAME), Shown(tmpl.m_name).GetString());
        TellRefused(text);
        return E_INVALIDARG;
    }
    const CString placeholder = LoadText(IDS_ATTACHMENT_PLACEHOLDER, "<Outlook Attachment>");
    if (const CTempDoc* local = tmpl.LocalDocument(placeholder)) {
        TellRefused(tmpl.LocalDocumentRefusal(*local));
        return E_ACCESSDENIED;
    }
    const bool replaces = GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES;
    if (!AskToImport(DescribeImport(tmpl, placeholder, replaces)))
        return S_FALSE;
    if (!CopyFileA(temp.path, target, FALSE))
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

bool CItemsEvents::AskToImport(const CString& question)
{
    CConfig config;
    return MessageBoxA(GetParentWindow(CDispatcher::kPreferExplorer), question,
                       config.GetDisplayName(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CItemsEvents::TellRefused(const CString& text)
{
    CConfig config;
    MessageBoxA(nullptr, text, config.GetDisplayName(), MB_OK | MB_ICONWARNING);
}

HRESULT CItemsEvents::ReadTemplateAttachment(IDispatch* item, CTemplate& tmpl, CString& tempPath)
{
    CVariant attachments;
    if (FAILED(GetProp(item, L"Attachments", attachments.Put())) || !IsObject(attachments))
        return E_FAIL;
    long count = 0;
    if (FAILED(CDispatcher::GetLongProp(attachments.pdispVal, L"Count", count)) || count != 1)
        return E_FAIL;
    VARIANT itemArgs[] = {LongArg(1)};
    CVariant attachment;
    if (FAILED(CallMethod(attachments.pdispVal, L"Item", attachment.Put(), 1, itemArgs)) ||
        !IsObject(attachment))
        return E_FAIL;
    long type = 0;
    if (FAILED(CDispatcher::GetLongProp(attachment.pdispVal, L"Type", type)) ||
        (type != ol::kAttachByValue && type != ol::kAttachByReference))
        return E_FAIL;
    long index = 0;
    CString fileName;
    if (FAILED(CDispatcher::GetLongProp(attachment.pdispVal, L"Index", index)) ||
        FAILED(CDispatcher::GetTextProp(attachment.pdispVal, L"FileName", fileName)))
        return E_FAIL;
    const int dot = fileName.ReverseFind('.');
    if (dot < 0 || !(fileName.Mid(dot + 1) == "xml"))
        return E_FAIL;
    CString displayName;
    if (FAILED(CDispatcher::GetTextProp(attachment.pdispVal, L"DisplayName", displayName)))
        return E_FAIL;
    auto part = std::unique_ptr<CBodyPart>(
        new (std::nothrow) CBodyPart(attachment.pdispVal, index, displayName, "Attachment", ""));
    if (!part)
        return E_OUTOFMEMORY;
    if (!part->SaveToTempFile(FALSE, FALSE))
        return E_FAIL;
    // The file is the caller's now: the part must not delete it.
    tempPath = part->m_tempPath;
    part->m_tempPath.Empty();
    return tmpl.LoadXML(tempPath);
}
