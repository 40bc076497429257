#include "classlib/ui/CHeaderCtrl.h"

#include <commctrl.h>

int CHeaderCtrl::GetItemCount() const
{
    return m_hWnd ? static_cast<int>(SendMessage(HDM_GETITEMCOUNT)) : -1;
}

BOOL CHeaderCtrl::GetItemRect(int index, RECT* rect) const
{
    return static_cast<BOOL>(
        SendMessage(HDM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)));
}
