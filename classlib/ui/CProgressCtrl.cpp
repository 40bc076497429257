#include "classlib/ui/CProgressCtrl.h"

#include <commctrl.h>

#include "classlib/ui/CommonControls.h"

BOOL CProgressCtrl::Create(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    InitCommonControlsOnce();
    HWND hwnd = ::CreateWindowExA(0, PROGRESS_CLASSA, "", style | WS_CHILD, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                  ::GetModuleHandleA(nullptr), nullptr);
    if (!hwnd)
        return FALSE;
    Attach(hwnd);
    return TRUE;
}

void CProgressCtrl::SetRange(short lower, short upper)
{
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
}

void CProgressCtrl::SetRange32(int lower, int upper)
{
    SendMessage(PBM_SETRANGE32, lower, upper);
}

void CProgressCtrl::GetRange(int& lower, int& upper) const
{
    PBRANGE range{};
    SendMessage(PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    lower = range.iLow;
    upper = range.iHigh;
}

int CProgressCtrl::SetPos(int position)
{
    return static_cast<int>(SendMessage(PBM_SETPOS, position));
}

int CProgressCtrl::OffsetPos(int delta)
{
    return static_cast<int>(SendMessage(PBM_DELTAPOS, delta));
}

int CProgressCtrl::GetPos() const
{
    return static_cast<int>(SendMessage(PBM_GETPOS));
}
