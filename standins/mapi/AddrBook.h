// CAddrBook: the session's address book. OpenEntry with no entry ID gives
// the root container; ResolveName finds fixture users by address or name
// and adds their entry IDs to the list.
#pragma once

#include "standins/mapi/PropObject.h"

class CAddrBook : public CPropObject<IAddrBook> {
public:
    CAddrBook();

    STDMETHODIMP OpenEntry(ULONG size, LPENTRYID id, LPCIID iid, ULONG flags, ULONG* type,
                           LPUNKNOWN* object) override;
    STDMETHODIMP CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*) override;
    STDMETHODIMP Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) override;
    STDMETHODIMP Unadvise(ULONG) override;
    STDMETHODIMP CreateOneOff(LPTSTR, LPTSTR, LPTSTR, ULONG, ULONG*, LPENTRYID*) override;
    STDMETHODIMP NewEntry(ULONG_PTR, ULONG, ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG*,
                          LPENTRYID*) override;
    STDMETHODIMP ResolveName(ULONG_PTR, ULONG, LPTSTR, LPADRLIST list) override;
    STDMETHODIMP Address(ULONG_PTR*, LPADRPARM, LPADRLIST*) override;
    STDMETHODIMP Details(ULONG*, LPFNDISMISS, LPVOID, ULONG, LPENTRYID, LPFNBUTTON, LPVOID, LPTSTR,
                         ULONG) override;
    STDMETHODIMP RecipOptions(ULONG_PTR, ULONG, LPADRENTRY) override;
    STDMETHODIMP QueryDefaultRecipOpt(LPTSTR, ULONG, ULONG*, LPSPropValue*) override;
    STDMETHODIMP GetPAB(ULONG*, LPENTRYID*) override;
    STDMETHODIMP SetPAB(ULONG, LPENTRYID) override;
    STDMETHODIMP GetDefaultDir(ULONG*, LPENTRYID*) override;
    STDMETHODIMP SetDefaultDir(ULONG, LPENTRYID) override;
    STDMETHODIMP GetSearchPath(ULONG, LPSRowSet*) override;
    STDMETHODIMP SetSearchPath(ULONG, LPSRowSet) override;
    STDMETHODIMP PrepareRecips(ULONG, LPSPropTagArray, LPADRLIST) override;

protected:
    bool Supports(REFIID iid) const override { return iid == kIidAddrBook; }
};
