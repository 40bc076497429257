#include "standins/outlook/host/Snapshot.h"

#include <algorithm>

#include <gdiplus.h>

#include "classlib/win32/Gdi.h"
#include "classlib/win32/GdiplusSession.h"

namespace host {

namespace {

// GDI+ names its PNG encoder by a class id it lists at run time.
bool FindPngEncoder(CLSID& encoder)
{
    UINT count = 0;
    UINT bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0)
        return false;
    std::string buffer(bytes, '\0');
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && std::wstring(codecs[i].MimeType) == L"image/png") {
            encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

} // namespace

bool SaveWindowPicture(HWND window, const std::wstring& path, std::wstring& error)
{
    RECT frame{};
    if (!IsWindow(window) || !GetWindowRect(window, &frame)) {
        error = L"no window to take";
        return false;
    }
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // GDI may still hold some of that painting in its batch.
    GdiFlush();

    HDC source = GetWindowDC(window);
    const RECT area{0, 0, frame.right - frame.left, frame.bottom - frame.top};
    const bool saved = SaveAreaPicture(source, area, path, error);
    ReleaseDC(window, source);
    return saved;
}

bool SaveAreaPicture(HDC source, const RECT& area, const std::wstring& path, std::wstring& error)
{
    const int width = std::max(1L, area.right - area.left);
    const int height = std::max(1L, area.bottom - area.top);
    CGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(source, width, height));
    bool copied = false;
    if (bitmap) {
        CMemoryDC memory(CreateCompatibleDC(source));
        CDCSelection selected(memory.Get(), bitmap.Get());
        copied = selected.IsSelected() && BitBlt(memory.Get(), 0, 0, width, height, source,
                                                 area.left, area.top, SRCCOPY) != 0;
    }
    if (!copied) {
        error = L"the screen could not be read";
        return false;
    }

    CGdiplusSession gdiplus;
    CLSID png{};
    if (!gdiplus.Ok() || !FindPngEncoder(png)) {
        error = L"no PNG encoder";
        return false;
    }
    Gdiplus::Bitmap picture(bitmap.Get(), nullptr);
    if (picture.Save(path.c_str(), &png, nullptr) != Gdiplus::Ok) {
        error = L"cannot write " + path;
        return false;
    }
    return true;
}

} // namespace host
