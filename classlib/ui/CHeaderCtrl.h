// CHeaderCtrl: a view of a header control (a list view's column headings).
#pragma once

#include "classlib/ui/CWnd.h"

class CHeaderCtrl : public CWnd {
public:
    CHeaderCtrl() = default;
    explicit CHeaderCtrl(HWND hwnd) : CWnd(hwnd) {}

    // Number of columns; -1 without a header.
    int GetItemCount() const;
    // The heading's rectangle in the header's client coordinates; FALSE
    // when there is no such heading.
    BOOL GetItemRect(int index, RECT* rect) const;
};
