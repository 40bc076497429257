#include "addin/core/EventHandler.h"

#include "addin/AddinResource.h"
#include "shared/outlook/AutomationValues.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/ui/DlgError.h"
#include "shared/identity/Proxy.h"

using namespace automation;

CEventHandler::~CEventHandler()
{
    // Unadvising lets the source release its reference to this sink.
    BeginDestruction();
    Disconnect();
}

HRESULT CEventHandler::Connect(IDispatch* source)
{
    if (!source)
        return E_POINTER;
    Disconnect();
    CComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    if (FAILED(hr))
        return hr;
    CComPtr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(GetEventIID(), point.Put())) || !point)
        return S_FALSE;
    DWORD cookie = 0;
    if (FAILED(point->Advise(static_cast<IDispatch*>(this), &cookie)))
        return S_FALSE;
    // Kept only once advised: Disconnect has a cookie to give back.
    m_point = std::move(point);
    m_cookie = cookie;
    return S_OK;
}

void CEventHandler::Disconnect()
{
    if (!m_point)
        return;
    // The point leaves the member first: Unadvise may release this sink's
    // last reference, and a handler may call Disconnect again.
    CComPtr<IConnectionPoint> point = std::move(m_point);
    const DWORD cookie = m_cookie;
    m_cookie = 0;
    point->Unadvise(cookie);
}

void CEventHandler::MarkItemSent(IDispatch* item)
{
    CVariant properties;
    if (FAILED(GetProp(item, L"UserProperties", properties.Put())) || !IsObject(properties))
        return;
    CBstr name(L"Quillet");
    CVariant property;
    VARIANT itemArgs[] = {BorrowedTextArg(name.Get())};
    if (FAILED(CallMethod(properties.pdispVal, L"Item", property.Put(), 1, itemArgs)) ||
        !IsObject(property)) {
        // Automation order: the type (last parameter) first.
        VARIANT addArgs[] = {LongArg(ol::kUserPropertyYesNo), BorrowedTextArg(name.Get())};
        if (FAILED(CallMethod(properties.pdispVal, L"Add", property.Put(), 2, addArgs)) ||
            !IsObject(property))
            return;
    }
    VARIANT value = BoolArg(true);
    PutProp(property.pdispVal, L"Value", &value);
}

HWND CEventHandler::GetParentWindow(int preference)
{
    return CDispatcher::GetParentWindow(m_application, preference);
}

HWND CEventHandler::DialogOwner()
{
    return GetParentWindow(CDispatcher::kPreferEither);
}

HRESULT CEventHandler::GetSmtpProxyAddress(const char* exchangeAddress, CString& smtp)
{
    smtp.Empty();
    if (!exchangeAddress)
        return E_POINTER;
    // A resolver of its own: it opens the MAPI session and closes it again.
    CProxy resolver;
    return resolver.GetSmtpProxy(exchangeAddress, smtp);
}

void CEventHandler::ShowError(HRESULT, const char* text)
{
    CDlgError dialog(DialogOwner());
    if (text && *text)
        dialog.m_details = text;
    else
        dialog.m_details.LoadString(IDS_OPERATION_UNKNOWN);
    dialog.DoModal();
}

BOOL CEventHandler::IsOffline(BOOL report)
{
    if (!m_application)
        return FALSE;
    CBstr mapi(L"MAPI");
    VARIANT args[] = {BorrowedTextArg(mapi.Get())};
    CVariant nameSpace;
    if (FAILED(CallMethod(m_application, L"GetNamespace", nameSpace.Put(), 1, args)) ||
        !IsObject(nameSpace))
        return FALSE;
    CVariant offline;
    if (FAILED(GetProp(nameSpace.pdispVal, L"Offline", offline.Put())))
        return FALSE;
    CVariant flag;
    if (FAILED(VariantChangeType(&flag, &offline, 0, VT_BOOL)) || flag.boolVal == VARIANT_FALSE)
        return FALSE;
    if (report) {
        CString message;
        message.LoadString(IDS_OFFLINE_UNAVAILABLE);
        ShowError(0, message);
    }
    return TRUE;
}
