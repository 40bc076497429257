#include "classlib/ui/CListCtrl.h"

#include <string>

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width)
{
    LVCOLUMNA info{};
    info.mask = LVCF_FMT | LVCF_TEXT | (width >= 0 ? LVCF_WIDTH : 0);
    info.fmt = format;
    info.cx = width;
    info.pszText = const_cast<char*>(heading ? heading : "");
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column),
                                        reinterpret_cast<LPARAM>(&info)));
}

BOOL CListCtrl::DeleteColumn(int column)
{
    return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(column)));
}

void CListCtrl::DeleteAllColumns()
{
    for (int count = GetColumnCount(); count > 0; --count) {
        if (!DeleteColumn(0))
            break;
    }
}

int CListCtrl::GetColumnWidth(int column) const
{
    return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}

BOOL CListCtrl::SetColumnWidth(int column, int width)
{
    return static_cast<BOOL>(
        SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)));
}

CHeaderCtrl CListCtrl::GetHeaderCtrl() const
{
    return CHeaderCtrl(reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER)));
}

int CListCtrl::GetColumnCount() const
{
    int count = GetHeaderCtrl().GetItemCount();
    return count > 0 ? count : 0;
}

int CListCtrl::InsertItem(int item, const char* text, int image, LPARAM data)
{
    LVITEMA info{};
    info.mask = LVIF_TEXT | LVIF_PARAM | (image >= 0 || image == I_IMAGECALLBACK ? LVIF_IMAGE : 0);
    info.iItem = item;
    info.pszText = const_cast<char*>(text);
    info.iImage = image;
    info.lParam = data;
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&info)));
}

BOOL CListCtrl::DeleteItem(int item)
{
    return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(item)));
}

BOOL CListCtrl::DeleteAllItems()
{
    return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS));
}

BOOL CListCtrl::SetItemText(int item, int subItem, const char* text)
{
    LVITEMA info{};
    info.iSubItem = subItem;
    info.pszText = const_cast<char*>(text);
    return static_cast<BOOL>(
        SendMessage(LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
}

CString CListCtrl::GetItemText(int item, int subItem) const
{
    // The control copies at most the buffer's size; grow until it fits.
    for (int size = 256; size <= 65536; size *= 4) {
        CString text;
        LVITEMA info{};
        info.iSubItem = subItem;
        info.cchTextMax = size;
        info.pszText = text.GetBuffer(size);
        int length = static_cast<int>(SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(item),
                                                  reinterpret_cast<LPARAM>(&info)));
        text.ReleaseBuffer(length >= 0 && length < size ? length : -1);
        if (length < size - 1)
            return text;
    }
    return CString();
}

BOOL CListCtrl::SetItemData(int item, DWORD_PTR data)
{
    LVITEMA info{};
    info.mask = LVIF_PARAM;
    info.iItem = item;
    info.lParam = static_cast<LPARAM>(data);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&info)));
}

int CListCtrl::FindItemByData(LPARAM data, int start) const
{
    LVFINDINFOA find{};
    find.flags = LVFI_PARAM;
    find.lParam = data;
    return static_cast<int>(
        SendMessage(LVM_FINDITEMA, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(&find)));
}

DWORD_PTR CListCtrl::GetItemData(int item) const
{
    LVITEMA info{};
    info.mask = LVIF_PARAM;
    info.iItem = item;
    if (!SendMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info)))
        return 0;
    return static_cast<DWORD_PTR>(info.lParam);
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask)
{
    LVITEMA info{};
    info.state = state;
    info.stateMask = mask;
    return static_cast<BOOL>(
        SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
}

UINT CListCtrl::GetItemState(int item, UINT mask) const
{
    return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
}

int CListCtrl::GetNextItem(int start, UINT flags) const
{
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags));
}

UINT CListCtrl::GetSelectedCount() const
{
    return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT));
}

void CListCtrl::SelectOnly(int item)
{
    SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (item >= 0)
        SetItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

BOOL CListCtrl::GetItemRect(int item, RECT* rect, UINT code) const
{
    if (!rect)
        return FALSE;
    rect->left = static_cast<LONG>(code);
    return static_cast<BOOL>(
        SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(rect)));
}

BOOL CListCtrl::GetSubItemRect(int item, int subItem, UINT code, RECT* rect) const
{
    if (!rect)
        return FALSE;
    rect->top = subItem;
    rect->left = static_cast<LONG>(code);
    return static_cast<BOOL>(
        SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(rect)));
}

BOOL CListCtrl::EnsureVisible(int item, BOOL partialOk)
{
    return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), partialOk));
}

BOOL CListCtrl::Scroll(SIZE amount)
{
    return static_cast<BOOL>(
        SendMessage(LVM_SCROLL, static_cast<WPARAM>(amount.cx), static_cast<LPARAM>(amount.cy)));
}

int CListCtrl::HitTest(POINT point, UINT* flags) const
{
    LVHITTESTINFO info{};
    info.pt = point;
    int item = static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
    if (flags)
        *flags = info.flags;
    return item;
}

BOOL CListCtrl::Update(int item)
{
    return static_cast<BOOL>(SendMessage(LVM_UPDATE, static_cast<WPARAM>(item)));
}

BOOL CListCtrl::RedrawItems(int first, int last)
{
    return static_cast<BOOL>(
        SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(first), static_cast<LPARAM>(last)));
}

DWORD CListCtrl::GetExtendedStyle() const
{
    return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
}

DWORD CListCtrl::SetExtendedStyle(DWORD style)
{
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
}

HIMAGELIST CListCtrl::SetImageList(HIMAGELIST list, int type)
{
    return reinterpret_cast<HIMAGELIST>(
        SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(type), reinterpret_cast<LPARAM>(list)));
}

DWORD CListCtrl::GetView() const
{
    return static_cast<DWORD>(SendMessage(LVM_GETVIEW));
}

void CListCtrl::SetDisplayText(NMHDR* dispInfo, const char* text)
{
    if (!dispInfo)
        return;
    if (!text)
        text = "";
    if (dispInfo->code == LVN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(dispInfo);
        if (!info->item.pszText || info->item.cchTextMax <= 0)
            return;
        const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
        std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), static_cast<int>(wide.size()));
        ::lstrcpynW(info->item.pszText, wide.c_str(), info->item.cchTextMax);
        return;
    }
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(dispInfo);
    if (info->item.pszText && info->item.cchTextMax > 0)
        ::lstrcpynA(info->item.pszText, text, info->item.cchTextMax);
}
