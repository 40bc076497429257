#include "addin/controls/DynamicListCtrl.h"

#include <algorithm>
#include <memory>
#include <new>

#include "addin/controls/InCellEdit.h"
#include "addin/controls/InCellList.h"

namespace {

// Narrower columns are not worth an editor.
constexpr int kNarrowestCell = 10;
// The text box reaches a little below the row, the drop-down part of the
// choice this many rows.
constexpr int kEditExtraHeight = 4;
constexpr int kDropDownRows = 10;

} // namespace

CDynamicListCtrl::~CDynamicListCtrl()
{
    CancelEdit();
}

int CDynamicListCtrl::HitTestEx(POINT point, int* column) const
{
    if (GetView() != LV_VIEW_DETAILS)
        return HitTest(point);
    const int count = GetItemCount();
    const int top = GetTopIndex();
    const int last = std::min(count, top + GetCountPerPage() + 1);
    const int columns = GetColumnCount();
    for (int row = top; row < last; ++row) {
        RECT bounds{};
        if (!GetItemRect(row, &bounds, LVIR_BOUNDS) || point.y < bounds.top ||
            point.y >= bounds.bottom)
            continue;
        int left = bounds.left;
        for (int col = 0; col < columns; ++col) {
            const int width = GetColumnWidth(col);
            if (point.x >= left && point.x <= left + width) {
                if (column)
                    *column = col;
                return row;
            }
            left += width;
        }
    }
    return -1;
}

BOOL CDynamicListCtrl::GetCellRect(int row, int column, RECT* rect)
{
    if (!rect || row < 0 || row >= GetItemCount() || !EnsureVisible(row, FALSE))
        return FALSE;
    if (column < 0 || column >= GetColumnCount() || GetColumnWidth(column) < kNarrowestCell)
        return FALSE;
    RECT bounds{};
    if (!GetItemRect(row, &bounds, LVIR_BOUNDS))
        return FALSE;
    int offset = 0;
    for (int col = 0; col < column; ++col)
        offset += GetColumnWidth(col);
    RECT client{};
    GetClientRect(&client);
    int left = bounds.left + offset;
    if (left < client.left || left > client.right) {
        Scroll(SIZE{left - client.left, 0});
        GetItemRect(row, &bounds, LVIR_BOUNDS);
        left = bounds.left + offset;
    }
    rect->left = left;
    rect->top = bounds.top;
    rect->right = std::min<LONG>(left + GetColumnWidth(column), client.right);
    rect->bottom = bounds.bottom;
    return TRUE;
}

bool CDynamicListCtrl::Opened(HWND editor)
{
    m_editor = editor;
    // The editor stands over the rows as they are now.
    m_topIndex = GetTopIndex();
    return true;
}

CInCellEdit* CDynamicListCtrl::EditCellText(int row, int column, CString* target)
{
    RECT cell{};
    if (!target || !GetCellRect(row, column, &cell))
        return nullptr;
    cell.bottom += kEditExtraHeight;
    auto editor =
        std::unique_ptr<CInCellEdit>(new (std::nothrow) CInCellEdit(this, row, column, target));
    if (!editor || !editor->Create(WS_EX_CLIENTEDGE, WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, cell,
                                   m_hWnd, m_editorId, *target))
        return nullptr;
    CInCellEdit* open = editor.release(); // from now on it lives as long as its window
    open->SetFont(GetParent().GetFont());
    Opened(open->GetSafeHwnd());
    open->SetFocus();
    open->SetSel(0, -1);
    open->ScrollCaret();
    return open;
}

CInCellList* CDynamicListCtrl::EditCellChoice(int row, int column, const CStringList& options,
                                              int selected, CString* target)
{
    RECT cell{};
    if (!target || !GetCellRect(row, column, &cell))
        return nullptr;
    const int rowHeight = cell.bottom - cell.top;
    RECT drop = cell;
    drop.bottom += kDropDownRows * rowHeight;
    auto editor =
        std::unique_ptr<CInCellList>(new (std::nothrow) CInCellList(this, row, column, target));
    if (!editor || !editor->Create(WS_VISIBLE | WS_BORDER | WS_VSCROLL | CBS_DROPDOWNLIST |
                                       CBS_DISABLENOSCROLL,
                                   drop, m_hWnd, m_editorId))
        return nullptr;
    CInCellList* open = editor.release(); // from now on it lives as long as its window
    open->SetFont(GetParent().GetFont());
    // The closed box as high as the row: its field is that less the box's edges.
    const int edges = GetSystemMetrics(SM_CYEDGE) * 2 + 2;
    if (rowHeight > edges)
        open->SetItemHeight(-1, static_cast<UINT>(rowHeight - edges));
    open->SetHorizontalExtent(static_cast<UINT>(cell.right - cell.left));
    for (POSITION pos = options.GetHeadPosition(); pos;)
        open->AddString(options.GetNext(pos));
    open->SetCurSel(selected);
    Opened(open->GetSafeHwnd());
    open->SetFocus();
    return open;
}

void CDynamicListCtrl::OnScrolled()
{
    const int top = GetTopIndex();
    if (top == m_topIndex)
        return;
    // Kept whether or not an editor is open: an editor opened later must
    // not be ended by a scroll that happened before it.
    m_topIndex = top;
    if (HWND editor = m_editor) {
        m_editor = nullptr;
        ::PostMessageA(editor, WM_KILLFOCUS, 0, 0);
    }
}

void CDynamicListCtrl::CancelEdit()
{
    if (HWND editor = m_editor) {
        m_editor = nullptr;
        if (::IsWindow(editor))
            ::SendMessageA(editor, WM_CELL_CANCEL, 0, 0);
    }
}

void CDynamicListCtrl::EditorGone(HWND editor)
{
    if (m_editor == editor)
        m_editor = nullptr;
}

void CDynamicListCtrl::SendEndEdit(HWND editor, int row, int column, const char* text)
{
    NMLVDISPINFOA info{};
    info.hdr.hwndFrom = m_hWnd;
    info.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(editor));
    info.hdr.code = LVN_ENDLABELEDITA;
    info.item.mask = LVIF_TEXT;
    info.item.iItem = row;
    info.item.iSubItem = column;
    info.item.pszText = const_cast<char*>(text);
    info.item.cchTextMax = text ? static_cast<int>(lstrlenA(text)) : 0;
    GetParent().SendMessage(WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
}
