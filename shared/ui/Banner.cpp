#include "shared/ui/Banner.h"

#include "classlib/strings/CString.h"
#include "classlib/ui/ScreenDpi.h"
#include "classlib/win32/Gdi.h"
#include "shared/SharedResource.h"

void PaintBanner(HWND dialog, HWND placeholder, HDC dc, BannerFit fit)
{
    // Drawn for 96 DPI; at its own size it grows with the screen's DPI, as
    // the dialog around it does.
    CGdiObject<HBITMAP> banner(
        LoadBitmapForDpi(GetResourceModule(), IDB_LOGIN_BANNER, ScreenDpi()));
    if (!banner)
        return;
    RECT frame{};
    GetWindowRect(placeholder, &frame);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&frame), 2);
    BITMAP info{};
    GetObjectA(banner.Get(), sizeof info, &info);
    const int width = fit == BannerFit::Frame ? frame.right - frame.left : info.bmWidth;
    const int height = fit == BannerFit::Frame ? frame.bottom - frame.top : info.bmHeight;
    CMemoryDC memory(CreateCompatibleDC(dc));
    CDCSelection selected(memory.Get(), banner.Get());
    TransparentBlt(dc, frame.left, frame.top, width, height, memory.Get(), 0, 0, info.bmWidth,
                   info.bmHeight, RGB(255, 0, 255));
}
