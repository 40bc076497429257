// The product's banner (IDB_LOGIN_BANNER of the shared resources), painted
// where a dialog's placeholder static stands. Magenta is its transparent
// colour, so the dialog's own background shows around the quill.
#pragma once

#include <windows.h>

enum class BannerFit {
    Frame,      // stretched to the placeholder's rectangle
    NaturalSize // at its own size, from the placeholder's top left corner
};

// Paints the banner into dc, the paint DC of dialog, at the place of the
// child window placeholder. Does nothing when the bitmap cannot be loaded.
void PaintBanner(HWND dialog, HWND placeholder, HDC dc, BannerFit fit);
