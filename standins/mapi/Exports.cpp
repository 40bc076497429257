// What mapi32 forwards to an Extended MAPI provider: initialisation, logon,
// the MAPI allocator and HrQueryAllRows. Wine's mapi32 finds these by
// undecorated name (HrQueryAllRows as "HrQueryAllRows@24"); the .def files
// give both architectures the same names.
#include <cstddef>
#include <mapix.h>
#include <mapiutil.h>

#include "standins/mapi/Session.h"
#include "standins/mapi/StandIn.h"

namespace {

constexpr DWORD kLiveBlock = 0x4B4C4251; // "QBLK"

// Every buffer starts with this; buffers from MAPIAllocateMore hang off
// their parent's chain and go with it.
union BlockHeader {
    struct {
        BlockHeader* next;
        DWORD magic;
    } block;
    std::max_align_t align;
};

BlockHeader* HeaderOf(void* buffer)
{
    return static_cast<BlockHeader*>(buffer) - 1;
}

void* NewBlock(ULONG size)
{
    void* memory = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(BlockHeader) + size);
    if (!memory)
        return nullptr;
    BlockHeader* header = static_cast<BlockHeader*>(memory);
    header->block.next = nullptr;
    header->block.magic = kLiveBlock;
    return header + 1;
}

void CheckInitialized(const char* call)
{
    if (!CStandIn::Get().IsInitialized())
        CStandIn::Get().Note(std::string("VIOLATION ") + call);
}

} // namespace

extern "C" {

HRESULT WINAPI MAPIInitialize(LPVOID)
{
    CStandIn& standIn = CStandIn::Get();
    standIn.Initialize();
    HRESULT hr = standIn.Enter("MAPIInitialize");
    if (FAILED(hr))
        standIn.Uninitialize();
    return hr;
}

void WINAPI MAPIUninitialize()
{
    CStandIn::Get().Enter("MAPIUninitialize");
    CStandIn::Get().Uninitialize();
}

HRESULT WINAPI MAPILogonEx(ULONG_PTR, LPTSTR, LPTSTR, ULONG, LPMAPISESSION* session)
{
    CStandIn& standIn = CStandIn::Get();
    // The test may have written another fixture since MAPIInitialize.
    standIn.LoadFixture();
    if (FAILED(standIn.Enter("MAPILogonEx")))
        return MAPI_E_LOGON_FAILED;
    if (!session)
        return MAPI_E_INVALID_PARAMETER;
    if (!standIn.IsInitialized())
        return MAPI_E_NOT_INITIALIZED;
    *session = new CSession();
    return S_OK;
}

SCODE WINAPI MAPIAllocateBuffer(ULONG size, LPVOID* buffer)
{
    CheckInitialized("MAPIAllocateBuffer");
    if (!buffer)
        return MAPI_E_INVALID_PARAMETER;
    *buffer = NewBlock(size);
    if (!*buffer)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    CStandIn::Get().BufferMade();
    return S_OK;
}

SCODE WINAPI MAPIAllocateMore(ULONG size, LPVOID parent, LPVOID* buffer)
{
    CheckInitialized("MAPIAllocateMore");
    if (!buffer || !parent || HeaderOf(parent)->block.magic != kLiveBlock)
        return MAPI_E_INVALID_PARAMETER;
    *buffer = NewBlock(size);
    if (!*buffer)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    BlockHeader* last = HeaderOf(parent);
    while (last->block.next)
        last = last->block.next;
    last->block.next = HeaderOf(*buffer);
    return S_OK;
}

ULONG WINAPI MAPIFreeBuffer(LPVOID buffer)
{
    CheckInitialized("MAPIFreeBuffer");
    if (!buffer)
        return S_OK;
    BlockHeader* header = HeaderOf(buffer);
    if (header->block.magic != kLiveBlock) {
        CStandIn::Get().Note("VIOLATION MAPIFreeBuffer of a buffer not allocated or freed twice");
        return MAPI_E_INVALID_PARAMETER;
    }
    CStandIn::Get().BufferGone();
    while (header) {
        BlockHeader* next = header->block.next;
        header->block.magic = 0;
        HeapFree(GetProcessHeap(), 0, header);
        header = next;
    }
    return S_OK;
}

HRESULT WINAPI HrQueryAllRows(LPMAPITABLE table, LPSPropTagArray tags, LPSRestriction restriction,
                              LPSSortOrderSet sort, LONG maxRows, LPSRowSet* rows)
{
    if (HRESULT hr = CStandIn::Get().Enter("HrQueryAllRows"); FAILED(hr))
        return hr;
    if (!table || !rows)
        return MAPI_E_INVALID_PARAMETER;
    *rows = nullptr;
    HRESULT hr = S_OK;
    if (tags && FAILED(hr = table->SetColumns(tags, TBL_BATCH)))
        return hr;
    if (FAILED(hr = table->Restrict(restriction, TBL_BATCH)))
        return hr;
    if (sort && FAILED(hr = table->SortTable(sort, TBL_BATCH)))
        return hr;
    if (FAILED(hr = table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr)))
        return hr;
    return table->QueryRows(maxRows > 0 ? maxRows : 0x7FFFFFFF, 0, rows);
}

} // extern "C"
