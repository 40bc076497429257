#include "addin/controls/InCellList.h"

#include "addin/controls/DynamicListCtrl.h"
#include "addin/core/WindowMessages.h"

CInCellList::CInCellList(CDynamicListCtrl* list, int row, int column, CString* target)
    : m_list(list), m_row(row), m_column(column), m_target(target)
{}

void CInCellList::End()
{
    if (m_ending)
        return;
    m_ending = true;
    const int chosen = GetCurSel();
    const CString text = chosen >= 0 ? GetLBText(chosen) : CString();
    if (!m_cancelled && m_target)
        *m_target = text;
    m_list->SendEndEdit(m_hWnd, m_row, m_column, m_cancelled ? nullptr : text.GetString());
    if (::GetFocus() == m_hWnd)
        ::SetFocus(m_list->GetSafeHwnd());
    DestroyWindow();
}

BOOL CInCellList::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* result)
{
    if (message == WM_COMMAND && HIWORD(wParam) == CBN_CLOSEUP) {
        PostMessage(WM_GIVE_FOCUS_BACK);
        *result = 0;
        return TRUE;
    }
    return FALSE;
}

LRESULT CInCellList::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
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
        if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
            if (wParam == VK_ESCAPE)
                m_cancelled = 1;
            // The box closes its drop-down first (taking or dropping the
            // choice), then the focus goes back, which ends the edit.
            DefWindowProc(message, wParam, lParam);
            ::SetFocus(m_list->GetSafeHwnd()); // the object may be gone now
            return 0;
        }
        break;
    case WM_GIVE_FOCUS_BACK:
        ::SetFocus(m_list->GetSafeHwnd()); // the object may be gone now
        return 0;
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
