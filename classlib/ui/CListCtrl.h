// CListCtrl: a view of a list view control (usually one of a dialog's
// template), with the members the system uses. Texts are narrow; items
// whose text is LPSTR_TEXTCALLBACK ask the parent (LVN_GETDISPINFO).
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "classlib/ui/CHeaderCtrl.h"
#include "classlib/ui/CWnd.h"

class CListCtrl : public CWnd {
public:
    CListCtrl() = default;
    explicit CListCtrl(HWND hwnd) : CWnd(hwnd) {}

    // ---- columns ----
    // The index of the new column, or -1.
    int InsertColumn(int column, const char* heading, int format = LVCFMT_LEFT, int width = -1);
    BOOL DeleteColumn(int column);
    // Removes every column.
    void DeleteAllColumns();
    int GetColumnWidth(int column) const;
    BOOL SetColumnWidth(int column, int width);
    CHeaderCtrl GetHeaderCtrl() const;
    // Number of columns (0 without a header).
    int GetColumnCount() const;

    // ---- items ----
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    // The index of the new item, or -1. text may be LPSTR_TEXTCALLBACK and
    // image I_IMAGECALLBACK.
    int InsertItem(int item, const char* text, int image = -1, LPARAM data = 0);
    BOOL DeleteItem(int item);
    BOOL DeleteAllItems();
    BOOL SetItemText(int item, int subItem, const char* text);
    CString GetItemText(int item, int subItem) const;
    BOOL SetItemData(int item, DWORD_PTR data);
    DWORD_PTR GetItemData(int item) const;
    BOOL SetItemState(int item, UINT state, UINT mask);
    UINT GetItemState(int item, UINT mask) const;
    // The next item after start (-1: from the first) with the LVNI_ flags.
    int GetNextItem(int start, UINT flags) const;
    // The first item after start (-1: from the first) whose data is data,
    // or -1. Items move when others are inserted before them: their data
    // finds them where their index would not.
    int FindItemByData(LPARAM data, int start = -1) const;
    UINT GetSelectedCount() const;
    // Selects and focuses the item alone (-1: nothing selected).
    void SelectOnly(int item);

    // ---- geometry ----
    // code: LVIR_BOUNDS, LVIR_ICON or LVIR_LABEL. FALSE for no such item.
    BOOL GetItemRect(int item, RECT* rect, UINT code) const;
    BOOL GetSubItemRect(int item, int subItem, UINT code, RECT* rect) const;
    int GetTopIndex() const { return static_cast<int>(SendMessage(LVM_GETTOPINDEX)); }
    int GetCountPerPage() const { return static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE)); }
    BOOL EnsureVisible(int item, BOOL partialOk);
    // Scrolls by the amount (pixels sideways; in report view, pixels down).
    BOOL Scroll(SIZE amount);
    // The item under the point (client coordinates), or -1; flags LVHT_*.
    int HitTest(POINT point, UINT* flags = nullptr) const;
    BOOL Update(int item);
    BOOL RedrawItems(int first, int last);

    // ---- looks ----
    DWORD GetExtendedStyle() const;
    DWORD SetExtendedStyle(DWORD style);
    // Returns the list shown before (LVSIL_NORMAL, LVSIL_SMALL, ...).
    HIMAGELIST SetImageList(HIMAGELIST list, int type);
    // LV_VIEW_DETAILS for a report view, ...
    DWORD GetView() const;

    // For the parent's LVN_GETDISPINFO (narrow or wide, as the list asked):
    // copies text into the item's buffer, cut to fit.
    static void SetDisplayText(NMHDR* dispInfo, const char* text);
};
