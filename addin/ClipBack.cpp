#include "addin/ClipBack.h"

#include <cstring>

#include "shared/log/DebugLog.h"

namespace {

// The longest name a registered format can have, with its zero.
constexpr int kFormatNameBuffer = 256;

HRESULT LastError()
{
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// Formats whose data is not a block of global memory that can be copied.
bool IsUncopyable(UINT format)
{
    switch (format) {
    case CF_BITMAP:
    case CF_METAFILEPICT: // global memory, but holding a metafile handle
    case CF_PALETTE:
    case CF_OWNERDISPLAY:
    case CF_DSPBITMAP:
    case CF_DSPMETAFILEPICT:
        return true;
    default:
        break;
    }
    return (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) ||
           (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST);
}

bool IsEnhMetafile(UINT format)
{
    return format == CF_ENHMETAFILE || format == CF_DSPENHMETAFILE;
}

// A movable, shareable copy of a global memory block; null on failure.
HGLOBAL CopyBlock(HANDLE source)
{
    const SIZE_T size = GlobalSize(source);
    const void* from = GlobalLock(source);
    if (!from)
        return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, size ? size : 1);
    if (copy) {
        if (void* to = GlobalLock(copy)) {
            std::memcpy(to, from, size);
            GlobalUnlock(copy);
        } else {
            GlobalFree(copy);
            copy = nullptr;
        }
    }
    GlobalUnlock(source);
    return copy;
}

} // namespace

CClipBack::CClipBack()
{
    m_owner = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                              nullptr);
    m_saved = m_owner ? Save() : LastError();
    if (FAILED(m_saved))
        TheLog().HResult("CClipBack::CClipBack", m_saved);
}

CClipBack::~CClipBack()
{
    for (Entry& entry : m_entries)
        Free(entry);
    if (m_owner)
        DestroyWindow(m_owner);
}

void CClipBack::Free(Entry& entry)
{
    if (!entry.data)
        return;
    if (entry.metafile)
        DeleteEnhMetaFile(static_cast<HENHMETAFILE>(entry.data));
    else
        GlobalFree(entry.data);
    entry.data = nullptr;
}

HRESULT CClipBack::Save()
{
    CClipboardLock clipboard(m_owner);
    if (!clipboard.IsOpen())
        return LastError();
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format)) {
        if (IsUncopyable(format))
            continue;
        Entry entry;
        entry.format = format;
        if (format >= 0xC000) {
            wchar_t name[kFormatNameBuffer];
            const int length = GetClipboardFormatNameW(format, name, kFormatNameBuffer);
            if (length <= 0)
                continue; // not a registered format after all
            entry.name.assign(name, static_cast<size_t>(length));
        }
        // Null when the owner could not render a delayed format: nothing to keep.
        HANDLE data = GetClipboardData(format);
        if (!data)
            continue;
        if (IsEnhMetafile(format)) {
            entry.metafile = true;
            entry.data = CopyEnhMetaFileW(static_cast<HENHMETAFILE>(data), nullptr);
        } else {
            entry.data = CopyBlock(data);
        }
        if (!entry.data) {
            // What could not be kept could not be given back: the caller
            // must leave the clipboard as it is.
            for (Entry& kept : m_entries)
                Free(kept);
            m_entries.clear();
            return E_OUTOFMEMORY;
        }
        m_entries.push_back(std::move(entry));
    }
    return S_OK;
}

HRESULT CClipBack::Restore()
{
    if (FAILED(m_saved))
        return S_OK;
    CClipboardLock clipboard(m_owner);
    if (!clipboard.IsOpen())
        return LastError();
    HRESULT result = EmptyClipboard() ? S_OK : LastError();
    for (Entry& entry : m_entries) {
        if (!entry.data)
            continue;
        const UINT format =
            entry.name.empty() ? entry.format : RegisterClipboardFormatW(entry.name.c_str());
        if (format && SetClipboardData(format, entry.data)) {
            entry.data = nullptr; // the clipboard's now
        } else if (SUCCEEDED(result)) {
            result = LastError();
        }
    }
    return result;
}
