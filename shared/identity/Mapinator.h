// CMapinator: the Extended MAPI session wrapper (session and address book)
// that CProxy and CIdentity build on, and the few mapi32 entry points the
// address code calls, found by ordinal while a session holds mapi32 loaded.
//
// mapi32 picks its provider when it is loaded, so it is loaded by the
// outermost Open and freed by the matching Close: a later Open sees the
// provider registered then. Opens nest: only the outermost Close logs off
// and uninitialises, so a caller's objects and buffers from the session stay
// valid across an inner Open/Close pair; release them before the outer Close.
#pragma once

#include <memory>
#include <windows.h>
#include <mapix.h>

#include "classlib/com/CComPtr.h"

// Exchange directory tags and the Exchange address-book provider's UID,
// which MinGW's MAPI headers lack.
inline constexpr ULONG kPrEmsAbContainerId = 0xFFFD0003;     // PR_EMS_AB_CONTAINERID
inline constexpr ULONG kPrEmsAbProxyAddressesA = 0x800F101E; // PR_EMS_AB_PROXY_ADDRESSES_A
// MUIDEMSAB, {C840A7DC-42C0-1A10-B4B9-08002B2FE182}, in stored byte order.
inline constexpr BYTE kMuidEmsAb[16] = {0xDC, 0xA7, 0x40, 0xC8, 0xC0, 0x42, 0x10, 0x1A,
                                        0xB4, 0xB9, 0x08, 0x00, 0x2B, 0x2F, 0xE1, 0x82};
// IID_IMAPIContainer: declared by mapiguid.h, defined by no import library.
inline constexpr IID kIidMapiContainer = {0x0002030B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace mapi {

// Each fails (or does nothing) when mapi32 is not loaded.
SCODE AllocateBuffer(ULONG size, void** buffer);
void FreeBuffer(void* buffer);
HRESULT QueryAllRows(IMAPITable* table, const SPropTagArray* columns,
                     const SRestriction* restriction, const SSortOrderSet* sort, LONG maxRows,
                     SRowSet** rows);
void FreeRows(SRowSet* rows);
void FreeAdrList(ADRLIST* list);
// Copies props into one new buffer from mapi32's allocator.
SCODE DupPropset(int count, SPropValue* props, SPropValue** copy);

struct BufferFree {
    void operator()(void* buffer) const { FreeBuffer(buffer); }
};
struct RowsFree {
    void operator()(SRowSet* rows) const { FreeRows(rows); }
};
struct AdrListFree {
    void operator()(ADRLIST* list) const { FreeAdrList(list); }
};

// Owners of what MAPI hands out.
template <class T>
using Buffer = std::unique_ptr<T, BufferFree>;
using Rows = std::unique_ptr<SRowSet, RowsFree>;
using AdrList = std::unique_ptr<ADRLIST, AdrListFree>;

} // namespace mapi

class CMapinator {
public:
    CMapinator() = default;
    CMapinator(const CMapinator&) = delete;
    CMapinator& operator=(const CMapinator&) = delete;
    // Ends a session still open, whatever the nesting.
    ~CMapinator();

    // Initialises MAPI, logs on to the default profile (MAPI may show its
    // logon interface) and opens the address book; with a session already
    // open, only counts the nesting. On failure nothing stays open.
    HRESULT Open();
    // Undoes one Open; the outermost releases the address book, logs off,
    // releases the session and uninitialises MAPI. Without an Open, a no-op.
    HRESULT Close();

    bool IsOpen() const { return m_opens > 0; }
    IMAPISession* GetSession() const { return m_session.Get(); }
    IAddrBook* GetAddressBook() const { return m_addressBook.Get(); }

protected:
    CComPtr<IMAPISession> m_session;
    CComPtr<IAddrBook> m_addressBook;

private:
    void Shutdown();

    int m_opens = 0;
    // MAPIInitialize succeeded for this object and awaits its uninitialise.
    // Kept per object: MAPI counts initialisations, and one object's Close
    // must not end MAPI under another's session.
    bool m_initialised = false;
    HMODULE m_mapi = nullptr;
};
