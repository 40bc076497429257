// CButton: a view of a button, check box or radio button.
#pragma once

#include "classlib/ui/CWnd.h"

class CButton : public CWnd {
public:
    CButton() = default;
    explicit CButton(HWND hwnd) : CWnd(hwnd) {}

    // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
};
