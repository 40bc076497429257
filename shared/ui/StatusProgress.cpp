#include "shared/ui/StatusProgress.h"

BOOL CStatusProgress::Create(CStatusBar& statusBar, UINT paneId, DWORD style)
{
    const int pane = statusBar.CommandToIndex(paneId);
    RECT rect{};
    if (pane >= 0) {
        statusBar.GetItemRect(pane, &rect);
        statusBar.SetPaneText(pane, "");
    }
    if (IsRectEmpty(&rect)) {
        RECT bar{};
        statusBar.GetWindowRect(&bar);
        rect = {bar.right + 1, bar.top, bar.right + 2, bar.bottom};
    }
    return CProgressCtrl::Create(style | WS_CHILD, rect, statusBar.GetSafeHwnd(), paneId);
}

void CStatusProgress::Reposition(CStatusBar& statusBar)
{
    const int pane = statusBar.CommandToIndex(static_cast<UINT>(GetDlgCtrlID()));
    if (pane < 0)
        return;
    RECT rect{};
    statusBar.GetItemRect(pane, &rect);
    MoveWindow(rect);
}
