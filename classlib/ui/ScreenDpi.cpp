#include "classlib/ui/ScreenDpi.h"

#include "classlib/win32/Gdi.h"

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return 96;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int ScaleForDpi(int pixels, int dpi)
{
    return MulDiv(pixels, dpi, 96);
}

HBITMAP LoadBitmapForDpi(HINSTANCE module, UINT id, int dpi)
{
    auto natural = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!natural || dpi == 96)
        return natural;
    CGdiObject<HBITMAP> source(natural);
    BITMAP info{};
    GetObjectA(natural, sizeof info, &info);
    const int width = ScaleForDpi(info.bmWidth, dpi);
    const int height = ScaleForDpi(info.bmHeight, dpi);
    // Grown by whole pixels, never blended: a blend would make new colours
    // at the edges of the see-through colour, and they would show as fringes.
    HDC screen = GetDC(nullptr);
    if (!screen)
        return nullptr;
    CMemoryDC from(CreateCompatibleDC(screen));
    CMemoryDC to(CreateCompatibleDC(screen));
    HBITMAP grown = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    if (!from || !to || !grown) {
        if (grown)
            DeleteObject(grown);
        return nullptr;
    }
    {
        CDCSelection readFrom(from.Get(), natural);
        CDCSelection drawTo(to.Get(), grown);
        SetStretchBltMode(to.Get(), COLORONCOLOR);
        StretchBlt(to.Get(), 0, 0, width, height, from.Get(), 0, 0, info.bmWidth, info.bmHeight,
                   SRCCOPY);
    }
    return grown;
}

HIMAGELIST LoadImageStripForDpi(HINSTANCE module, UINT id, int size, COLORREF transparent, int dpi)
{
    CGdiObject<HBITMAP> strip(LoadBitmapForDpi(module, id, dpi));
    if (!strip || size <= 0)
        return nullptr;
    BITMAP info{};
    GetObjectA(strip.Get(), sizeof info, &info);
    const int side = ScaleForDpi(size, dpi);
    // The pictures carry no alpha: the mask alone makes them see-through.
    const UINT colours = ILC_COLOR24;
    HIMAGELIST list =
        ImageList_Create(side, info.bmHeight, colours | ILC_MASK, info.bmWidth / side, 0);
    if (!list)
        return nullptr;
    if (ImageList_AddMasked(list, strip.Get(), transparent) < 0) {
        ImageList_Destroy(list);
        return nullptr;
    }
    return list;
}
