#include "addin/host/ItemsEvents.h"

#include <memory>
#include <new>

#include "addin/AddinResource.h"
#include "classlib/com/CVariant.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/requests/BodyPart.h"
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
    TheLog().Comment("Calling OnItemAddChange");
    const HRESULT hr = OnItemAddChange(EventObject(params, 0, 1));
    if (FAILED(hr))
        TheLog().HResult("CItemsEvents::OnItemAddChange", hr);
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
    // The name comes from the mail: it must be a plain file name that stays
    // inside the template folder.
    if (!CTemplate::IsValidName(tmpl.m_name))
        return E_INVALIDARG;
    if (!AskToImport())
        return S_FALSE;
    CConfig config;
    CString folder;
    hr = config.GetTemplateFolder(folder);
    if (FAILED(hr))
        return hr;
    CString target;
    hr = CTemplate::PathInFolder(folder, tmpl.m_name + ".xml", target);
    if (FAILED(hr))
        return hr;
    if (!CopyFileA(temp.path, target, FALSE))
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

bool CItemsEvents::AskToImport()
{
    CString question;
    question.LoadString(IDS_TEMPLATE_IMPORT_QUESTION);
    CConfig config;
    return MessageBoxA(GetParentWindow(CDispatcher::kPreferExplorer), question,
                       config.GetDisplayName(), MB_YESNO | MB_ICONQUESTION) == IDYES;
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
