#include "addin/controls/KVList.h"

#include "addin/wizard/ValidateValue.h"
#include "shared/requests/KeywordValue.h"

namespace {

bool OffersChoice(const CString& type)
{
    return type == "List" || type == "Checkbox" || type == "Radio";
}

} // namespace

CKVList::CKVList(UINT editorId, CWnd* owner) : m_owner(owner)
{
    m_editorId = editorId;
}

CKeywordValue* CKVList::GetValue(int row) const
{
    return reinterpret_cast<CKeywordValue*>(GetItemData(row));
}

void CKVList::BeginEdit(int row, int column)
{
    m_editRow = row;
    m_editColumn = column == 0 ? 1 : column;
    if (m_editColumn != 1)
        return;
    CKeywordValue* value = GetValue(row);
    if (!value || !value->m_choice)
        return;
    value->m_previous = value->m_value;
    if (OffersChoice(value->m_type)) {
        int selected = 0;
        int index = 0;
        for (POSITION pos = value->m_choices.GetHeadPosition(); pos; ++index) {
            if (value->m_choices.GetNext(pos) == value->m_value) {
                selected = index;
                break;
            }
        }
        EditCellChoice(row, m_editColumn, value->m_choices, selected, &value->m_value);
    } else {
        EditCellText(row, m_editColumn, &value->m_value);
    }
}

void CKVList::Navigate(WPARAM key, int row)
{
    const int count = GetItemCount();
    if (count <= 0)
        return;
    int next = row;
    switch (key) {
    case VK_UP:
        next = row <= 0 ? count - 1 : row - 1;
        break;
    case VK_DOWN:
        next = row >= count - 1 ? 0 : row + 1;
        break;
    case VK_RETURN:
        if (row >= count - 1)
            return; // Enter on the last row ends the editing
        next = row + 1;
        break;
    default:
        return;
    }
    BeginEdit(next, 1);
}

void CKVList::EndEdit(const NMLVDISPINFOA& info)
{
    // Dropped: the value keeps what it had.
    if (!info.item.pszText || info.item.iSubItem != 1)
        return;
    const int row = info.item.iItem;
    CKeywordValue* value = GetValue(row);
    if (!value)
        return;
    const CString text = info.item.pszText;
    if (text == value->m_prompt)
        return;
    CString shown;
    if (text.IsEmpty()) {
        value->m_value.Empty();
        shown = value->m_prompt;
    } else {
        value->m_value = text;
        if (ValidateValue(*value, GetParent().GetSafeHwnd())) {
            // A date comes back written the one way.
            shown = value->m_value;
            if (value->m_tag && m_owner && m_owner->IsWindow())
                m_owner->SendMessage(static_cast<UINT>(value->m_tag), static_cast<WPARAM>(row),
                                     reinterpret_cast<LPARAM>(value));
        } else {
            value->m_value = value->m_previous;
            shown = value->m_previous.IsEmpty() ? value->m_prompt : value->m_previous;
        }
    }
    SetItemText(row, 1, shown);
}

void CKVList::DrawItem(const DRAWITEMSTRUCT& item)
{
    const int row = static_cast<int>(item.itemID);
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const bool enabled = IsWindowEnabled() != FALSE;
    HDC dc = item.hDC;
    const int background = selected ? COLOR_HIGHLIGHT : (enabled ? COLOR_WINDOW : COLOR_BTNFACE);
    const int foreground =
        selected ? COLOR_HIGHLIGHTTEXT : (enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(background));
    const COLORREF oldText = ::SetTextColor(dc, ::GetSysColor(foreground));
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    for (int column = 0; column < GetColumnCount(); ++column) {
        RECT cell{};
        if (!GetSubItemRect(row, column, LVIR_LABEL, &cell))
            continue;
        cell.left += 4;
        cell.right -= 2;
        const CString text = GetItemText(row, column);
        ::DrawTextA(dc, text, text.GetLength(), &cell,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    ::SetBkMode(dc, oldMode);
    ::SetTextColor(dc, oldText);
    if (item.itemState & ODS_FOCUS)
        ::DrawFocusRect(dc, &item.rcItem);
}

BOOL CKVList::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code != LVN_ENDLABELEDITA)
            return FALSE;
        EndEdit(*reinterpret_cast<const NMLVDISPINFOA*>(lParam));
        // The list's own label text is not to be set from this.
        *result = FALSE;
        return TRUE;
    }
    if (message == WM_DRAWITEM) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        *result = TRUE;
        return TRUE;
    }
    return FALSE;
}

LRESULT CKVList::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CELL_NAVIGATE:
        Navigate(wParam, static_cast<int>(lParam));
        return 0;
    case WM_LBUTTONDOWN: {
        // A press edits the cell under it; the list's selection stays.
        POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        int column = 0;
        const int row = HitTestEx(point, &column);
        if (row >= 0)
            BeginEdit(row, column);
        return 0;
    }
    default:
        return CDynamicListCtrl::WindowProc(message, wParam, lParam);
    }
}
