#include "addin/controls/InCellList.h"

#include "addin/controls/DynamicListCtrl.h"
#include "addin/core/WindowMessages.h"

CString CInCellList::EditedText()
{
    const int chosen = GetCurSel();
    return chosen >= 0 ? GetLBText(chosen) : CString();
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
    default:
        break;
    }
    return CInCellEditor::WindowProc(message, wParam, lParam);
}
