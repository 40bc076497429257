// CStatic: a view of a static control (text, icon or bitmap picture). The
// pictures stay owned by the caller: the control only shows them.
#pragma once

#include "classlib/ui/CWnd.h"

class CStatic : public CWnd {
public:
    CStatic() = default;
    explicit CStatic(HWND hwnd) : CWnd(hwnd) {}

    // Each returns the picture shown before (null when none).
    HICON SetIcon(HICON icon);
    HICON GetIcon() const;
    HBITMAP SetBitmap(HBITMAP bitmap);
    HBITMAP GetBitmap() const;
};
