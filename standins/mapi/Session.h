// CSession: the logged-on session: its identity (the fixture's identity
// user), OpenEntry of users, the address book and Logoff.
#pragma once

#include <string>
#include <mapix.h>

#include "standins/mapi/LoggedUnknown.h"

class CSession : public CLoggedUnknown<IMAPISession> {
public:
    CSession();

    STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR*) override;
    STDMETHODIMP GetMsgStoresTable(ULONG, LPMAPITABLE*) override;
    STDMETHODIMP OpenMsgStore(ULONG_PTR, ULONG, LPENTRYID, LPCIID, ULONG, LPMDB*) override;
    STDMETHODIMP OpenAddressBook(ULONG_PTR, LPCIID, ULONG, LPADRBOOK* book) override;
    STDMETHODIMP OpenProfileSection(LPMAPIUID, LPCIID, ULONG, LPPROFSECT*) override;
    STDMETHODIMP GetStatusTable(ULONG, LPMAPITABLE*) override;
    STDMETHODIMP OpenEntry(ULONG size, LPENTRYID id, LPCIID iid, ULONG flags, ULONG* type,
                           LPUNKNOWN* object) override;
    STDMETHODIMP CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*) override;
    STDMETHODIMP Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) override;
    STDMETHODIMP Unadvise(ULONG) override;
    STDMETHODIMP MessageOptions(ULONG_PTR, ULONG, LPTSTR, LPMESSAGE) override;
    STDMETHODIMP QueryDefaultMessageOpt(LPTSTR, ULONG, ULONG*, LPSPropValue*) override;
    STDMETHODIMP EnumAdrTypes(ULONG, ULONG*, LPTSTR**) override;
    STDMETHODIMP QueryIdentity(ULONG* size, LPENTRYID* id) override;
    STDMETHODIMP Logoff(ULONG_PTR, ULONG, ULONG) override;
    STDMETHODIMP SetDefaultStore(ULONG, ULONG, LPENTRYID) override;
    STDMETHODIMP AdminServices(ULONG, LPSERVICEADMIN*) override;
    STDMETHODIMP ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG, ULONG,
                          ULONG, ULONG, LPSTR) override;
    STDMETHODIMP PrepareForm(LPCIID, LPMESSAGE, ULONG*) override;

protected:
    bool AnswersFor(REFIID iid) const override;
    // Also notes a call other than Release made after Logoff.
    HRESULT Enter(const char* method) const override;

private:
    bool m_loggedOff = false;
};
