// Pictures drawn for 96 DPI on screens of any DPI. Dialogs are laid out in
// dialog units and grow with the screen's DPI by themselves; bitmaps are
// pixels and must be grown to match, or they sit small in frames and rows
// made for larger ones.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

// The screen's DPI as this process sees it (LOGPIXELSY of the screen), 96
// when it cannot be read.
int ScreenDpi();

// `pixels` at 96 DPI, as many at `dpi` (rounded).
int ScaleForDpi(int pixels, int dpi);

// A strip of same-size pictures drawn for 96 DPI (a bitmap resource, each
// picture `size` pixels wide and as tall as the strip) as an image list for
// a screen of `dpi`: each picture grown to ScaleForDpi(size, dpi) wide and
// as the strip grew tall, see-through where the strip has `transparent`. Null when the resource is
// missing or no list can be made; the caller owns the list.
HIMAGELIST LoadImageStripForDpi(HINSTANCE module, UINT id, int size, COLORREF transparent, int dpi);

// The same for the screen this process draws on.
inline HIMAGELIST LoadImageStrip(HINSTANCE module, UINT id, int size, COLORREF transparent)
{
    return LoadImageStripForDpi(module, id, size, transparent, ScreenDpi());
}

// A bitmap resource drawn for 96 DPI, grown for a screen of `dpi` (nearest
// pixels, so the doubled forms stay sharp). Null when it is missing; the
// caller owns it.
HBITMAP LoadBitmapForDpi(HINSTANCE module, UINT id, int dpi);
