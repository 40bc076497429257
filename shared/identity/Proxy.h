// CProxy: the session wrapper plus address lists, name resolution in the
// global address list and the SMTP proxy look-up; and the address helpers
// that go with them.
#pragma once

#include "classlib/strings/CString.h"
#include "shared/identity/Mapinator.h"

class CProxy : public CMapinator {
public:
    // An ADRLIST of count empty entries (a MAPI buffer). E_OUTOFMEMORY.
    HRESULT CreateSizedAddressList(ULONG count, LPADRLIST* list);
    // Copies props into entry index, freeing what it held. E_FAIL when index
    // is out of range or the copy fails.
    HRESULT SetAddressList(ULONG index, ULONG count, LPSPropValue props, LPADRLIST list);
    // The entry ID of the address in the open address book (a MAPI buffer
    // the caller frees).
    HRESULT Resolve(const char* name, ULONG* size, LPENTRYID* id);
    // The primary SMTP address of an Exchange address, from its entry in
    // the global address list; smtp is only set on success.
    HRESULT GetSmtpProxy(const char* exchangeAddress, CString& smtp);

private:
    HRESULT LookUpSmtpProxy(const char* exchangeAddress, CString& smtp);
};

// The entry ID of the Exchange global address list: the one root container
// of the Exchange directory. E_FAIL unless exactly one is found.
HRESULT FindTheGAL(IAddrBook* addressBook, ULONG* size, LPENTRYID* id);
// The primary SMTP address among the user's proxy addresses ("SMTP:"),
// else the first secondary one ("smtp:" in any case); MAPI_E_NOT_FOUND when
// there is none. address is only set on success.
HRESULT FindSmtpProxyAddress(IMAPIProp* user, CString& address);
// Tidies a typed address: the bracketed part that holds the address
// ("Jane <JANE@X.COM>" gives "jane@x.com"), else the text without its
// bracketed comments, trimmed and lower-cased. false (text unchanged) when
// it holds no "@".
bool NormalizeSmtpAddr(CString& address);
