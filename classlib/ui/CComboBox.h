// CComboBox: a view of a combo box, or (Create) one this object makes as a
// child and handles the messages of (see CWnd).
#pragma once

#include "classlib/ui/CWnd.h"

class CComboBox : public CWnd {
public:
    CComboBox() = default;
    explicit CComboBox(HWND hwnd) : CWnd(hwnd) {}

    // A combo box child of parent (WS_CHILD is added to style). FALSE when
    // it could not be made.
    BOOL Create(DWORD style, const RECT& rect, HWND parent, UINT id);

    // Each returns the item's index, or CB_ERR / CB_ERRSPACE.
    int AddString(const char* text);
    int InsertString(int index, const char* text);
    // Returns the number of items left, or CB_ERR.
    int DeleteString(int index);
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    // The selected item, or CB_ERR.
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    // -1 clears the selection. Returns the index, or CB_ERR.
    int SetCurSel(int index);
    // The index of the item whose text is the whole text (any case), or CB_ERR.
    int FindStringExact(int startAfter, const char* text) const;
    CString GetLBText(int index) const;
    DWORD_PTR GetItemData(int index) const;
    int SetItemData(int index, DWORD_PTR data);
    // index -1: the selection field's height.
    int SetItemHeight(int index, UINT height);
    void SetHorizontalExtent(UINT extent);
    BOOL GetDroppedState() const { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE)); }
    void ShowDropDown(BOOL show = TRUE) { SendMessage(CB_SHOWDROPDOWN, show); }
};
