// CSession: the logged-on session: its identity (the fixture's identity
// user), OpenEntry of users, the address book and Logoff.
#pragma once

#include <string>
#include <mapix.h>

class CSession : public IMAPISession {
public:
    CSession();
    virtual ~CSession();
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

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

private:
    HRESULT Enter(const char* method) const;
    HRESULT Unsupported(const char* method) const;

    LONG m_refs = 1;
    bool m_loggedOff = false;
};
