#include "standins/mapi/Session.h"

#include "standins/mapi/AbContainer.h"
#include "standins/mapi/AddrBook.h"
#include "standins/mapi/Guids.h"
#include "standins/mapi/StandIn.h"

CSession::CSession() : CLoggedUnknown("Session") {}

bool CSession::AnswersFor(REFIID iid) const
{
    return iid == kIidMapiSession;
}

HRESULT CSession::Enter(const char* method) const
{
    std::string call = std::string("Session::") + method;
    HRESULT hr = CStandIn::Get().Enter(call.c_str());
    // Release is the one call a logged-off session still owes its owner.
    if (m_loggedOff && call != "Session::Release")
        CStandIn::Get().Note("VIOLATION after Logoff " + call);
    return hr;
}

STDMETHODIMP CSession::OpenAddressBook(ULONG_PTR, LPCIID, ULONG, LPADRBOOK* book)
{
    if (HRESULT hr = Enter("OpenAddressBook"); FAILED(hr))
        return hr;
    if (!book)
        return MAPI_E_INVALID_PARAMETER;
    *book = new CAddrBook();
    return S_OK;
}

STDMETHODIMP CSession::OpenEntry(ULONG size, LPENTRYID id, LPCIID, ULONG, ULONG* type,
                                 LPUNKNOWN* object)
{
    if (HRESULT hr = Enter("OpenEntry"); FAILED(hr))
        return hr;
    return CAbContainer::OpenObject(size, id, false, type, object);
}

STDMETHODIMP CSession::QueryIdentity(ULONG* size, LPENTRYID* id)
{
    if (HRESULT hr = Enter("QueryIdentity"); FAILED(hr))
        return hr;
    if (!size || !id)
        return MAPI_E_INVALID_PARAMETER;
    const std::string& identity = CStandIn::Get().Fixture().identity;
    if (identity.empty())
        return MAPI_E_NOT_FOUND;
    return CopyEntryIdOut(MakeEntryId('U', identity), size, id);
}

STDMETHODIMP CSession::Logoff(ULONG_PTR, ULONG, ULONG)
{
    HRESULT hr = Enter("Logoff");
    m_loggedOff = true;
    return hr;
}

STDMETHODIMP CSession::GetLastError(HRESULT, ULONG, LPMAPIERROR* error)
{
    if (error)
        *error = nullptr;
    return Unsupported("GetLastError");
}
STDMETHODIMP CSession::GetMsgStoresTable(ULONG, LPMAPITABLE*)
{
    return Unsupported("GetMsgStoresTable");
}
STDMETHODIMP CSession::OpenMsgStore(ULONG_PTR, ULONG, LPENTRYID, LPCIID, ULONG, LPMDB*)
{
    return Unsupported("OpenMsgStore");
}
STDMETHODIMP CSession::OpenProfileSection(LPMAPIUID, LPCIID, ULONG, LPPROFSECT*)
{
    return Unsupported("OpenProfileSection");
}
STDMETHODIMP CSession::GetStatusTable(ULONG, LPMAPITABLE*)
{
    return Unsupported("GetStatusTable");
}
STDMETHODIMP CSession::CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*)
{
    return Unsupported("CompareEntryIDs");
}
STDMETHODIMP CSession::Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*)
{
    return Unsupported("Advise");
}
STDMETHODIMP CSession::Unadvise(ULONG)
{
    return Unsupported("Unadvise");
}
STDMETHODIMP CSession::MessageOptions(ULONG_PTR, ULONG, LPTSTR, LPMESSAGE)
{
    return Unsupported("MessageOptions");
}
STDMETHODIMP CSession::QueryDefaultMessageOpt(LPTSTR, ULONG, ULONG*, LPSPropValue*)
{
    return Unsupported("QueryDefaultMessageOpt");
}
STDMETHODIMP CSession::EnumAdrTypes(ULONG, ULONG*, LPTSTR**)
{
    return Unsupported("EnumAdrTypes");
}
STDMETHODIMP CSession::SetDefaultStore(ULONG, ULONG, LPENTRYID)
{
    return Unsupported("SetDefaultStore");
}
STDMETHODIMP CSession::AdminServices(ULONG, LPSERVICEADMIN*)
{
    return Unsupported("AdminServices");
}
STDMETHODIMP CSession::ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG,
                                ULONG, ULONG, ULONG, LPSTR)
{
    return Unsupported("ShowForm");
}
STDMETHODIMP CSession::PrepareForm(LPCIID, LPMESSAGE, ULONG*)
{
    return Unsupported("PrepareForm");
}
