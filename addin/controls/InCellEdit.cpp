#include "addin/controls/InCellEdit.h"

#include "addin/controls/DynamicListCtrl.h"

CInCellEdit::CInCellEdit(CDynamicListCtrl* list, int row, int column, CString* target)
    : m_list(list), m_row(row), m_column(column), m_initial(target ? *target : CString()),
      m_target(target)
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

void CInCellEdit::End()
{
    if (m_ending)
        return;
    m_ending = true;
    const CString text = GetWindowText();
    if (!m_cancelled && m_target)
        *m_target = text;
    m_list->SendEndEdit(m_hWnd, m_row, m_column, m_cancelled ? nullptr : text.GetString());
    // Told to end by the list while it still has the focus (a scroll): the
    // focus goes back to the list rather than nowhere.
    if (::GetFocus() == m_hWnd)
        ::SetFocus(m_list->GetSafeHwnd());
    DestroyWindow();
}

LRESULT CInCellEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETDLGCODE: {
        // Enter and Escape are the box's, not the dialog's OK and Cancel.
        LRESULT code = DefWindowProc(message, wParam, lParam);
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg && msg->message == WM_KEYDOWN &&
            (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
            code |= DLGC_WANTALLKEYS;
        return code;
    }
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
    case WM_KILLFOCUS: {
        LRESULT result = DefWindowProc(message, wParam, lParam);
        End(); // the object may be gone now
        return result;
    }
    case WM_CELL_CANCEL:
        m_cancelled = 1;
        End();
        return 0;
    case WM_DESTROY:
        m_list->EditorGone(m_hWnd);
        break;
    default:
        break;
    }
    return DefWindowProc(message, wParam, lParam);
}
