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
    BITMAP info{};
    GetObjectA(natural, sizeof info, &info);
    DeleteObject(natural);
    // LoadImage stretches a bitmap resource to the size it is asked for.
    return static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP,
                                           ScaleForDpi(info.bmWidth, dpi),
                                           ScaleForDpi(info.bmHeight, dpi), LR_CREATEDIBSECTION));
}

HIMAGELIST LoadImageStripForDpi(HINSTANCE module, UINT id, int size, COLORREF transparent, int dpi)
{
    CGdiObject<HBITMAP> strip(LoadBitmapForDpi(module, id, dpi));
    if (!strip || size <= 0)
        return nullptr;
    BITMAP info{};
    GetObjectA(strip.Get(), sizeof info, &info);
    const int side = ScaleForDpi(size, dpi);
    const UINT colours = info.bmBitsPixel >= 32 ? ILC_COLOR32 : ILC_COLOR24;
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
