#include "shared/identity/Mapinator.h"

#include <mapiutil.h>

#include "shared/log/DebugLog.h"

namespace {

// mapi32's ordinals (the same in every mapi32 this runs on).
constexpr WORD kOrdinalLogonEx = 11;
constexpr WORD kOrdinalAllocateBuffer = 13;
constexpr WORD kOrdinalFreeBuffer = 17;
constexpr WORD kOrdinalInitialize = 21;
constexpr WORD kOrdinalUninitialize = 23;
constexpr WORD kOrdinalQueryAllRows = 75;
constexpr WORD kOrdinalFreePadrlist = 139;
constexpr WORD kOrdinalFreeProws = 140;
constexpr WORD kOrdinalDupPropset = 174;

using InitializeFn = HRESULT(WINAPI*)(void*);
using UninitializeFn = void(WINAPI*)();
using LogonExFn = HRESULT(WINAPI*)(ULONG_PTR, char*, char*, ULONG, IMAPISession**);
using QueryAllRowsFn = HRESULT(WINAPI*)(IMAPITable*, SPropTagArray*, SRestriction*, SSortOrderSet*,
                                        LONG, SRowSet**);
using FreeRowsFn = void(WINAPI*)(SRowSet*);
using FreeAdrListFn = void(WINAPI*)(ADRLIST*);
using DupPropsetFn = SCODE(WINAPI*)(int, SPropValue*, LPALLOCATEBUFFER, SPropValue**);

template <class Fn>
Fn Entry(HMODULE module, WORD ordinal)
{
    if (!module)
        return nullptr;
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
}

// The helpers below serve code holding a session, which keeps mapi32 loaded.
template <class Fn>
Fn Loaded(WORD ordinal)
{
    return Entry<Fn>(GetModuleHandleA("mapi32.dll"), ordinal);
}

} // namespace

namespace mapi {

SCODE AllocateBuffer(ULONG size, void** buffer)
{
    auto allocate = Loaded<LPALLOCATEBUFFER>(kOrdinalAllocateBuffer);
    if (!allocate) {
        *buffer = nullptr;
        return MAPI_E_NOT_INITIALIZED;
    }
    return allocate(size, buffer);
}

void FreeBuffer(void* buffer)
{
    if (!buffer)
        return;
    if (auto release = Loaded<LPFREEBUFFER>(kOrdinalFreeBuffer))
        release(buffer);
}

HRESULT QueryAllRows(IMAPITable* table, const SPropTagArray* columns,
                     const SRestriction* restriction, const SSortOrderSet* sort, LONG maxRows,
                     SRowSet** rows)
{
    *rows = nullptr;
    auto query = Loaded<QueryAllRowsFn>(kOrdinalQueryAllRows);
    if (!query)
        return MAPI_E_NOT_INITIALIZED;
    // MAPI's prototype is not const-correct; it only reads these.
    return query(table, const_cast<SPropTagArray*>(columns), const_cast<SRestriction*>(restriction),
                 const_cast<SSortOrderSet*>(sort), maxRows, rows);
}

void FreeRows(SRowSet* rows)
{
    if (!rows)
        return;
    if (auto release = Loaded<FreeRowsFn>(kOrdinalFreeProws))
        release(rows);
}

void FreeAdrList(ADRLIST* list)
{
    if (!list)
        return;
    if (auto release = Loaded<FreeAdrListFn>(kOrdinalFreePadrlist))
        release(list);
}

SCODE DupPropset(int count, SPropValue* props, SPropValue** copy)
{
    *copy = nullptr;
    auto duplicate = Loaded<DupPropsetFn>(kOrdinalDupPropset);
    auto allocate = Loaded<LPALLOCATEBUFFER>(kOrdinalAllocateBuffer);
    if (!duplicate || !allocate)
        return MAPI_E_NOT_INITIALIZED;
    return duplicate(count, props, allocate, copy);
}

} // namespace mapi

CMapinator::~CMapinator()
{
    if (m_opens > 0 || m_mapi)
        Shutdown();
}

HRESULT CMapinator::Open()
{
    CLogBlock block("CMapinator::Open");
    if (m_opens > 0) {
        ++m_opens;
        return S_OK;
    }
    m_mapi = LoadLibraryA("mapi32.dll");
    auto initialize = Entry<InitializeFn>(m_mapi, kOrdinalInitialize);
    auto logon = Entry<LogonExFn>(m_mapi, kOrdinalLogonEx);
    if (!initialize || !logon) {
        TheLog().LastError("CMapinator::Open: mapi32 is missing");
        Shutdown();
        return MAPI_E_NOT_INITIALIZED;
    }
    HRESULT hr = initialize(nullptr);
    if (SUCCEEDED(hr)) {
        m_initialised = true;
        hr = logon(0, nullptr, nullptr, MAPI_LOGON_UI, m_session.Put());
    }
    if (SUCCEEDED(hr) && !m_session)
        hr = MAPI_E_LOGON_FAILED;
    if (SUCCEEDED(hr))
        hr = m_session->OpenAddressBook(0, nullptr, 0, m_addressBook.Put());
    if (SUCCEEDED(hr) && !m_addressBook)
        hr = MAPI_E_CALL_FAILED;
    if (FAILED(hr)) {
        TheLog().HResult("CMapinator::Open", hr);
        Shutdown();
        return hr;
    }
    m_opens = 1;
    return S_OK;
}

HRESULT CMapinator::Close()
{
    CLogBlock block("CMapinator::Close");
    if (m_opens == 0)
        return S_OK;
    if (--m_opens > 0)
        return S_OK;
    Shutdown();
    return S_OK;
}

void CMapinator::Shutdown()
{
    m_opens = 0;
    m_addressBook.Release();
    if (m_session) {
        m_session->Logoff(0, 0, 0);
        m_session.Release();
    }
    if (m_initialised) {
        m_initialised = false;
        if (auto uninitialize = Entry<UninitializeFn>(m_mapi, kOrdinalUninitialize))
            uninitialize();
    }
    if (m_mapi) {
        FreeLibrary(m_mapi);
        m_mapi = nullptr;
    }
}
