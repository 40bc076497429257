#include "addin/controls/InCellEdit.h"

#include "addin/controls/DynamicListCtrl.h"

CInCellEdit::CInCellEdit(CDynamicListCtrl* list, int row, int column, CString* target)
    : CInCellEditor(list, row, column, target), m_initial(target ? *target : CString())
{}

void CInCellEdit::Leave(WPARAM key)
{
    // Setting the focus ends the edit and deletes this object: what the
    // message needs is taken first.
    HWND list = m_list->GetSafeHwnd();
    const int row = m_row;
    ::SetFocus(list);
    if (key)
        ::PostMessageA(list, WM_CELL_NAVIGATE, key, static_cast<LPARAM>(row));
}

LRESULT CInCellEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_UP:
        case VK_DOWN:
        case VK_RETURN:
            Leave(wParam);
            return 0;
        case VK_ESCAPE:
            m_cancelled = 1;
            Leave(0);
            return 0;
        default:
            break;
        }
        break;
    case WM_CHAR:
        // Their characters would only beep.
        if (wParam == '\r' || wParam == 27)
            return 0;
        break;
    default:
        break;
    }
    return CInCellEditor::WindowProc(message, wParam, lParam);
}
