#include "addin/Ribbon.h"

#include <cstring>

#include <gdiplus.h>
#include <olectl.h>

#include "addin/AddinResource.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/CComPtr.h"
#include "classlib/strings/CString.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"

namespace {

// GDI+ for the time of one decode.
class CGdiplusSession {
public:
    CGdiplusSession()
    {
        Gdiplus::GdiplusStartupInput input;
        m_ok = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;
    ~CGdiplusSession()
    {
        if (m_ok)
            Gdiplus::GdiplusShutdown(m_token);
    }
    bool Ok() const { return m_ok; }

private:
    ULONG_PTR m_token = 0;
    bool m_ok = false;
};

// Movable global memory, freed at the end of the scope (the stream on it
// does not own it).
class CGlobalBlock {
public:
    explicit CGlobalBlock(SIZE_T size) : m_block(GlobalAlloc(GMEM_MOVEABLE, size)) {}
    CGlobalBlock(const CGlobalBlock&) = delete;
    CGlobalBlock& operator=(const CGlobalBlock&) = delete;
    ~CGlobalBlock()
    {
        if (m_block)
            GlobalFree(m_block);
    }
    HGLOBAL Get() const { return m_block; }

private:
    HGLOBAL m_block;
};

// A GDI+ bitmap, disposed at the end of the scope.
class CGdipBitmap {
public:
    CGdipBitmap() = default;
    CGdipBitmap(const CGdipBitmap&) = delete;
    CGdipBitmap& operator=(const CGdipBitmap&) = delete;
    ~CGdipBitmap()
    {
        if (m_bitmap)
            Gdiplus::DllExports::GdipDisposeImage(m_bitmap);
    }
    Gdiplus::GpBitmap** Put() { return &m_bitmap; }
    Gdiplus::GpBitmap* Get() const { return m_bitmap; }

private:
    Gdiplus::GpBitmap* m_bitmap = nullptr;
};

HRESULT DecodeImage(VARIANT* result)
{
    CConfig config;
    const HMODULE module = GetResourceModule();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(config.GetImageId()),
                                MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!found)
        return E_FAIL;
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return E_FAIL;
    const DWORD size = SizeofResource(module, found);
    CGlobalBlock block(size);
    if (!block.Get())
        return E_OUTOFMEMORY;
    void* copy = GlobalLock(block.Get());
    if (!copy)
        return E_FAIL;
    std::memcpy(copy, bytes, size);
    GlobalUnlock(block.Get());

    CGdipBitmap bitmap;
    {
        CComPtr<IStream> stream;
        if (FAILED(CreateStreamOnHGlobal(block.Get(), FALSE, stream.Put())) || !stream)
            return E_FAIL;
        if (Gdiplus::DllExports::GdipCreateBitmapFromStream(stream.Get(), bitmap.Put()) !=
                Gdiplus::Ok ||
            !bitmap.Get())
            return E_FAIL;
    }
    HBITMAP handle = nullptr;
    if (Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(bitmap.Get(), &handle, 0) != Gdiplus::Ok ||
        !handle)
        return E_FAIL;
    PICTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = handle;
    IDispatch* picture = nullptr;
    // The picture owns the handle from here on.
    const HRESULT hr = OleCreatePictureIndirect(&description, IID_IDispatch, TRUE,
                                                reinterpret_cast<void**>(&picture));
    if (FAILED(hr)) {
        DeleteObject(handle);
        return hr;
    }
    VariantClear(result);
    result->vt = VT_DISPATCH;
    result->pdispVal = picture;
    return hr;
}

} // namespace

HRESULT GetRibbonMarkup(BSTR ribbonId, BSTR* markup)
{
    if (!markup)
        return E_POINTER;
    *markup = nullptr;
    CString id;
    if (ribbonId)
        id = CBstr::ToNarrow(ribbonId);
    TheLog().CommentFormat("GetCustomUI:RibbonID: %s", id);
    CConfig config;
    CString text;
    if (const UINT stringId = config.GetRibbonId(id))
        text.LoadString(stringId);
    *markup = CBstr(text.GetString()).Detach();
    return *markup ? S_OK : E_OUTOFMEMORY;
}

HRESULT GetCustomImage(VARIANT* result)
{
    if (!result)
        return E_POINTER;
    CGdiplusSession gdiplus;
    if (!gdiplus.Ok())
        return E_FAIL;
    return DecodeImage(result);
}
