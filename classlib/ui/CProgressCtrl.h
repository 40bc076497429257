// CProgressCtrl: a view of a progress bar, usually one this object created
// as a child (the parent destroys it).
#pragma once

#include "classlib/ui/CWnd.h"

class CProgressCtrl : public CWnd {
public:
    CProgressCtrl() = default;
    explicit CProgressCtrl(HWND hwnd) : CWnd(hwnd) {}

    // A progress bar filling rect (parent's client coordinates); WS_CHILD is
    // added to style. FALSE when the window could not be made.
    BOOL Create(DWORD style, const RECT& rect, HWND parent, UINT id);

    void SetRange(short lower, short upper);
    void SetRange32(int lower, int upper);
    void GetRange(int& lower, int& upper) const;
    // Each returns the position before.
    int SetPos(int position);
    int OffsetPos(int delta);
    int GetPos() const;
};
