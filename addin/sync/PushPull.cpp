#include "addin/sync/PushPull.h"

#include <cstdio>
#include <new>

#include "addin/sync/SignedCopy.h"
#include "addin/sync/SyncItem.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/HResult.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/service/FinalPDF.h"
#include "shared/service/OpReqPDF.h"
#include "shared/service/OpReqStat.h"
#include "shared/service/WebSvrAPI.h"
#include "shared/xml/XMLIO.h"

using namespace automation;

namespace {

// Outlook's "no date" as the due date shows it.
constexpr const char kNoDate[] = "01/01/4501";
// The signed copy goes after everything the task holds.
constexpr long kAfterTheBody = 0x10000;

// Narrow text of a property, or false when it cannot be read as text.
bool ReadText(IDispatch* object, const wchar_t* name, CString& text)
{
    CVariant value;
    if (FAILED(CDispatcher::GetProp(object, name, value.Put())))
        return false;
    return value.ToString(text);
}

// The date of a property, or false when it cannot be read as one.
bool ReadDate(IDispatch* object, const wchar_t* name, SYSTEMTIME& time)
{
    CVariant value;
    CVariant date;
    if (FAILED(CDispatcher::GetProp(object, name, value.Put())) ||
        FAILED(VariantChangeType(&date, &value, 0, VT_DATE)))
        return false;
    SYSTEMTIME converted{};
    TheLog().Comment("LoadOneItem: VariantTimeToSystemTime");
    if (!VariantTimeToSystemTime(date.date, &converted))
        return false;
    time = converted;
    return true;
}

} // namespace

CPushPull::CPushPull(CWebSvrAPI* api) : CPumpOp(api) {}

CPushPull::~CPushPull() = default;

HRESULT CPushPull::LoadExplorer(IDispatch* application, IDispatch* explorer)
{
    if (!application || !explorer)
        return E_INVALIDARG;
    CBstr mapi(L"MAPI");
    VARIANT mapiArg[] = {BorrowedTextArg(mapi.Get())};
    RETURN_IF_FAILED(CallMethod(application, L"GetNamespace", m_namespace.Put(), 1, mapiArg));
    RETURN_IF_FAILED(GetProp(explorer, L"CurrentFolder", m_folder.Put()));
    if (!IsObject(m_folder))
        return E_FAIL;
    CVariant type;
    RETURN_IF_FAILED(GetProp(m_folder.pdispVal, L"DefaultItemType", type.Put()));
    CVariant number;
    if (FAILED(VariantChangeType(&number, &type, 0, VT_I4)))
        return E_INVALIDARG;
    if (number.lVal != CSyncItem::kContactItems && number.lVal != CSyncItem::kTaskItems) {
        TheLog().CommentFormatInt("CPushPull::LoadExplorer: a folder of item type %ld",
                                  number.lVal);
        return E_INVALIDARG;
    }
    m_itemType = number.lVal;

    TheLog().Comment("Fetching Selection");
    RETURN_IF_FAILED(GetProp(explorer, L"Selection", m_selection.Put()));
    TheLog().Comment("Fetching Selection Count");
    m_selectionCount = 0;
    CVariant count;
    if (IsObject(m_selection) && SUCCEEDED(GetProp(m_selection.pdispVal, L"Count", count.Put())) &&
        SUCCEEDED(VariantChangeType(&count, &count, 0, VT_I4)))
        m_selectionCount = count.lVal;
    RETURN_IF_FAILED(GetProp(m_folder.pdispVal, L"Items", m_items.Put()));
    m_itemsCount = 0;
    if (IsObject(m_items) && SUCCEEDED(GetProp(m_items.pdispVal, L"Count", count.Put())) &&
        SUCCEEDED(VariantChangeType(&count, &count, 0, VT_I4)))
        m_itemsCount = count.lVal;

    if (m_selectionCount <= 0 && m_itemType == CSyncItem::kTaskItems) {
        m_selection = m_items;
        m_selectionCount = m_itemsCount;
    }
    return S_OK;
}

HRESULT CPushPull::LoadUserProps(CSyncItem& item, IDispatch* outlookItem)
{
    CLogBlock block("CPushPull::LoadUserProps");
    CString value;
    if (GetUserProperty(outlookItem, kRequestIdProperty, value) == S_OK)
        item.m_requestId = value;
    if (GetUserProperty(outlookItem, kSignedCopyProperty, value) == S_OK)
        item.m_signedCopy = value;
    return S_OK;
}

HRESULT CPushPull::LoadOneItem(CSyncItem& item, IDispatch* outlookItem)
{
    CLogBlock block("CPushPull::LoadOneItem");
    if (!outlookItem)
        return E_INVALIDARG;
    LoadUserProps(item, outlookItem);

    TheLog().Comment("LoadOneItem: EntryID");
    CVariant entryId;
    const HRESULT hr = GetProp(outlookItem, L"EntryID", entryId.Put());
    CString text;
    if (SUCCEEDED(hr) && entryId.ToString(text))
        item.m_entryId = text;

    if (item.m_itemType == CSyncItem::kContactItems) {
        TheLog().Comment("LoadOneItem: FullName");
        if (ReadText(outlookItem, L"FullName", text))
            item.m_fullName = text;
        TheLog().Comment("LoadOneItem: EMail");
        if (ReadText(outlookItem, L"Email1Address", text))
            item.m_email = text;
    } else if (item.m_itemType == CSyncItem::kTaskItems) {
        TheLog().Comment("LoadOneItem: Subject");
        if (ReadText(outlookItem, L"Subject", text))
            item.m_subject = text;
        TheLog().Comment("LoadOneItem: DueDate");
        SYSTEMTIME due{};
        if (ReadDate(outlookItem, L"DueDate", due)) {
            char date[16];
            std::snprintf(date, sizeof date, "%02u/%02u/%04u", due.wMonth, due.wDay, due.wYear);
            item.m_dueDate = CString(date) == kNoDate ? "" : date;
        }
    }

    TheLog().Comment("LoadOneItem: LastModificationTime");
    ReadDate(outlookItem, L"LastModificationTime", item.m_lastModified);
    return hr;
}

void CPushPull::StartOp(CWebSvrOp* op, BOOL postNow)
{
    SetOp(op);
    m_stage = CWebSvrOp::kPrepare;
    if (postNow && m_owner)
        PostMessageA(m_owner, kStageMessage, CWebSvrOp::kPrepare, 0);
}

HRESULT CPushPull::PullStatus(CSyncItem& item, BOOL postNow)
{
    CLogBlock block("CPushPull::PullStatus");
    if (item.m_requestId.IsEmpty() || !m_api)
        return E_INVALIDARG;
    TheLog().Comment("PullStatus: Creating OpReqStat...");
    auto* op = new (std::nothrow) OpReqStat(m_api->GetServiceUrl());
    if (!op)
        return E_OUTOFMEMORY;
    op->m_credentials = m_credentials;
    op->m_fileId = item.m_requestId;
    TheLog().Comment("PullStatus: Pumping Op...");
    StartOp(op, postNow);
    return S_OK;
}

HRESULT CPushPull::PullPDF(CSyncItem& item, BOOL postNow)
{
    CLogBlock block("CPushPull::PullPDF");
    if (item.m_requestId.IsEmpty() || !m_api)
        return E_INVALIDARG;
    TheLog().Comment("PullPDF: Creating OpReqPDF...");
    auto* op = new (std::nothrow) OpReqPDF(m_api->GetServiceUrl());
    if (!op)
        return E_OUTOFMEMORY;
    op->m_credentials = m_credentials;
    op->m_fileId = item.m_requestId;
    op->m_documentId = item.m_statusDetail;
    TheLog().Comment("PullPDF: Pumping Op...");
    StartOp(op, postNow);
    return S_OK;
}

HRESULT CPushPull::FindTask(const CSyncItem& item, CVariant& task)
{
    if (item.m_entryId.IsEmpty() || !IsObject(m_namespace))
        return E_INVALIDARG;
    TheLog().Comment("LinkItem: GetItemFromID");
    CBstr entryId(item.m_entryId);
    VARIANT args[] = {BorrowedTextArg(entryId.Get())};
    if (FAILED(CallMethod(m_namespace.pdispVal, L"GetItemFromID", task.Put(), 1, args)) ||
        !IsObject(task)) {
        TheLog().Error("LinkItem: the task is gone");
        task.Clear();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CPushPull::LinkItem(IDispatch* task, CSyncItem* item, const CEnvStat& status)
{
    if (!item || item->m_requestId.IsEmpty())
        return E_INVALIDARG;
    CVariant found;
    if (!task) {
        RETURN_IF_FAILED(FindTask(*item, found));
        task = found.pdispVal;
    }
    const long percent = status.m_percentSigned > 100 ? 100 : status.m_percentSigned;
    const bool complete = percent == 100;
    CVariant completeValue;
    completeValue.vt = VT_BOOL;
    completeValue.boolVal = complete ? VARIANT_TRUE : VARIANT_FALSE;
    RETURN_IF_FAILED(PutProp(task, L"Complete", &completeValue));
    RETURN_IF_FAILED(PutLong(task, L"PercentComplete", percent));
    RETURN_IF_FAILED(PutLong(task, L"Status", complete ? ol::kTaskComplete : ol::kTaskInProgress));
    CVariant ignored;
    RETURN_IF_FAILED(CallMethod(task, L"Save", ignored.Put(), 0, nullptr));
    // Only a task that shows the request complete goes on to its signed copy.
    if (complete)
        item->m_wantsSignedCopy = 1;
    return S_OK;
}

HRESULT CPushPull::AttachFile(IDispatch* task, const char* path, const char* displayName)
{
    CVariant attachments;
    HRESULT hr = GetProp(task, L"Attachments", attachments.Put());
    if (FAILED(hr))
        return hr;
    if (!IsObject(attachments))
        return E_FAIL;
    CBstr source(path);
    CBstr name(displayName);
    VARIANT args[] = {BorrowedTextArg(name.Get()), LongArg(kAfterTheBody),
                      LongArg(ol::kAttachByValue), BorrowedTextArg(source.Get())};
    CVariant added;
    return CallMethod(attachments.pdispVal, L"Add", added.Put(), 4, args);
}

HRESULT CPushPull::SaveSignedCopy(IDispatch* task, CSyncItem* item, OpReqPDF* op)
{
    if (!item || item->m_requestId.IsEmpty() || !op)
        return E_INVALIDARG;
    CVariant found;
    if (!task) {
        RETURN_IF_FAILED(FindTask(*item, found));
        task = found.pdispVal;
    }
    if (!op->m_finalPdf || !op->m_finalPdf->HasBase64File())
        return E_FAIL;
    CString pdf;
    if (FAILED(CXMLIO::DecodeFileToTemp(op->m_finalPdf->GetBase64Path(), kSignedCopyFormat, pdf))) {
        TheLog().Error("SaveSignedCopy: the signed copy does not decode");
        return E_FAIL;
    }
    // The attachment takes the bytes; the decoded file in the temporary
    // folder is worth nothing after that, and a copy runs to megabytes.
    CFileGoesWithOwner decoded(pdf);
    if (!IsWholePdf(pdf)) {
        TheLog().Error("SaveSignedCopy: the signed copy is no whole PDF document");
        return E_FAIL;
    }
    if (FAILED(AttachFile(task, pdf, kSignedCopyName))) {
        TheLog().Error("SaveSignedCopy: the signed copy cannot be attached");
        return E_FAIL;
    }
    // Saved together with the attachment: a task with the copy always says
    // so. The value is the copy's name as it was attached; what it says to
    // the sync is only that the task has its copy.
    return SetUserProperty(task, kSignedCopyProperty, pdf, TRUE, TRUE);
}
