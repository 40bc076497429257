#include "addin/commands/ClipBack.h"

#include <cstring>

#include "addin/commands/ButtonPicture.h"
#include "classlib/com/HResult.h"
#include "classlib/win32/LastError.h"
#include "shared/log/DebugLog.h"

namespace {

// The longest name a registered format can have, with its zero.
constexpr int kFormatNameBuffer = 256;

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

// A movable, shareable block of global memory holding a copy of size
// bytes; none on failure.
CGlobalMem NewBlock(const void* bytes, SIZE_T size)
{
    CGlobalMem block(GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, size ? size : 1));
    if (!block)
        return block;
    CGlobalLock to(block.Get());
    if (!to)
        return CGlobalMem();
    std::memcpy(to.Data(), bytes, size);
    return block;
}

// A copy of a global memory block; none on failure.
CGlobalMem CopyBlock(HANDLE source)
{
    const SIZE_T size = GlobalSize(source);
    CGlobalLock from(source);
    if (!from)
        return CGlobalMem();
    return NewBlock(from.Data(), size);
}

// Puts a copy of bytes on the (open) clipboard under format (0: the format
// could not be registered).
HRESULT PutBlock(UINT format, const std::vector<char>& bytes)
{
    if (!format)
        return HResultFromLastError();
    CGlobalMem block = NewBlock(bytes.data(), bytes.size());
    if (!block)
        return E_OUTOFMEMORY;
    if (!SetClipboardData(format, block.Get()))
        return HResultFromLastError();
    block.Detach(); // the clipboard's now
    return S_OK;
}

} // namespace

CClipBack::CClipBack()
{
    m_saved = m_owner.Create() ? Save() : HResultFromLastError();
    if (FAILED(m_saved))
        TheLog().HResult("CClipBack::CClipBack", m_saved);
}

CClipBack::~CClipBack()
{
    m_entries.clear();
}

HRESULT CClipBack::Save()
{
    CClipboardLock clipboard(m_owner.Get());
    if (!clipboard.IsOpen())
        return HResultFromLastError();
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
        if (IsEnhMetafile(format))
            entry.metafile.Reset(CopyEnhMetaFileW(static_cast<HENHMETAFILE>(data), nullptr));
        else
            entry.block = CopyBlock(data);
        if (!entry.Data()) {
            // What could not be kept could not be given back: the caller
            // must leave the clipboard as it is.
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
    CClipboardLock clipboard(m_owner.Get());
    if (!clipboard.IsOpen())
        return HResultFromLastError();
    HRESULT result = EmptyClipboard() ? S_OK : HResultFromLastError();
    for (Entry& entry : m_entries) {
        if (!entry.Data())
            continue;
        const UINT format =
            entry.name.empty() ? entry.format : RegisterClipboardFormatW(entry.name.c_str());
        if (format && SetClipboardData(format, entry.Data())) {
            entry.HandedOver();
        } else if (SUCCEEDED(result)) {
            result = HResultFromLastError();
        }
    }
    return result;
}

HRESULT PutFaceOnClipboard(HWND owner, HBITMAP face)
{
    BITMAP info{};
    if (!GetObjectW(face, sizeof(info), &info))
        return E_FAIL;
    std::vector<char> dib;
    std::vector<char> mask;
    if (!PackBitmap(face, static_cast<WORD>(info.bmBitsPixel * info.bmPlanes), dib) ||
        !PackMask(face, mask))
        return E_FAIL;
    CClipboardLock clipboard(owner);
    if (!clipboard.IsOpen())
        return HResultFromLastError();
    if (!EmptyClipboard())
        return HResultFromLastError();
    RETURN_IF_FAILED(PutBlock(CF_DIB, dib));
    RETURN_IF_FAILED(PutBlock(RegisterClipboardFormatA("Toolbar Button Face"), dib));
    return PutBlock(RegisterClipboardFormatA("Toolbar Button Mask"), mask);
}
