// What the send changes on the mail item: the recipients the wizard added,
// its subject and text, and its end once the request went out (marked
// sent, closed, deleted).
#include "addin/send/SendBtn.h"

#include "addin/core/PostedWork.h"

#include "classlib/com/CBstr.h"
#include "classlib/com/HResult.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/service/OpSendDoc.h"

using namespace automation;

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

void CSendBtn::FinishItem(const char* why)
{
    CComPtr<IDispatch> item = m_sendItem;
    TheLog().Comment("Flagging Item as Sent");
    MarkItemSent(item.Get());
    // The send runs inside the click or ribbon callback of the item's own
    // inspector, which Outlook does not let close under it: the item is
    // closed and deleted once the callback has returned.
    const HRESULT posted = ThePostedWork().Post([item, why] {
        TheLog().Comment("Calling Item's Close Method");
        VARIANT args[] = {LongArg(ol::kCloseSave)};
        if (FAILED(CallMethod(item.Get(), L"Close", nullptr, 1, args)))
            TheLog().Comment("Close Method failed!");
        const HRESULT deleted = CallMethod(item.Get(), L"Delete", nullptr, 0, nullptr);
        if (FAILED(deleted))
            TheLog().HResult(why, deleted);
    });
    if (FAILED(posted))
        TheLog().HResult(why, posted);
}
