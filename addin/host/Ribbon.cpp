#include "addin/host/Ribbon.h"

#include <cstring>

#include <gdiplus.h>
#include <olectl.h>

#include "addin/AddinResource.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/CComPtr.h"
#include "classlib/strings/CString.h"
#include "classlib/win32/GdiplusSession.h"
#include "classlib/win32/Memory.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"

namespace {

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

HRESULT DecodeImage(UINT imageId, VARIANT* result)
{
    const HMODULE module = GetResourceModule();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(imageId),
                                MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!found)
        return E_FAIL;
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return E_FAIL;
    const DWORD size = SizeofResource(module, found);
    // The stream on the block does not own it.
    CGlobalMem block(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block)
        return E_OUTOFMEMORY;
    {
        CGlobalLock copy(block.Get());
        if (!copy)
            return E_FAIL;
        std::memcpy(copy.Data(), bytes, size);
    }

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

UINT RibbonImageId(int dpi)
{
    // The large button is 32 pixels at 96 DPI. From 150 % on, Office
    // shrinking the 64-pixel form looks far better than it blowing up the
    // 32-pixel one.
    CConfig config;
    return dpi >= 144 ? IDR_RIBBON_IMAGE_64 : config.GetImageId();
}

HRESULT GetCustomImage(VARIANT* result)
{
    // Office asks with no size: it fits the picture to the button at the
    // screen's DPI, which is what a DPI-aware Outlook reads here as well.
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return GetCustomImageAt(dpi, result);
}

HRESULT GetCustomImageAt(int dpi, VARIANT* result)
{
    if (!result)
        return E_POINTER;
    CGdiplusSession gdiplus;
    if (!gdiplus.Ok())
        return E_FAIL;
    return DecodeImage(RibbonImageId(dpi), result);
}
