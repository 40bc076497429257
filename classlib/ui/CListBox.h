// CListBox: a view of a list box.
#pragma once

#include "classlib/ui/CWnd.h"

class CListBox : public CWnd {
public:
    CListBox() = default;
    explicit CListBox(HWND hwnd) : CWnd(hwnd) {}

    // Each returns the item's index, or LB_ERR / LB_ERRSPACE.
    int AddString(const char* text);
    int InsertString(int index, const char* text);
    int DeleteString(int index);
    void ResetContent() { SendMessage(LB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    // The selected item of a single-selection list, or LB_ERR.
    int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
    int SetCurSel(int index);
    CString GetText(int index) const;
    DWORD_PTR GetItemData(int index) const;
    int SetItemData(int index, DWORD_PTR data);
};
