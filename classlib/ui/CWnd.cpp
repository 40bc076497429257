#include "classlib/ui/CWnd.h"

#include <utility>

HWND CWnd::Attach(HWND hwnd)
{
    return std::exchange(m_hWnd, hwnd);
}

HWND CWnd::Detach()
{
    return std::exchange(m_hWnd, nullptr);
}

void CWnd::GetWindowText(CString& text) const
{
    int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0) {
        text.Empty();
        return;
    }
    int copied = ::GetWindowTextA(m_hWnd, text.GetBuffer(length), length + 1);
    text.ReleaseBuffer(copied > 0 ? copied : 0);
}

CString CWnd::GetWindowText() const
{
    CString text;
    GetWindowText(text);
    return text;
}

void CWnd::ScreenToClient(RECT* rect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

BOOL CWnd::MoveWindow(const RECT& rect, BOOL repaint)
{
    return ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                        repaint);
}

BOOL CWnd::SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
}

void CWnd::RepositionBars(UINT first, UINT last, UINT leftOver)
{
    RECT free{};
    ::GetClientRect(m_hWnd, &free);
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        UINT id = static_cast<UINT>(::GetDlgCtrlID(child));
        if (id < first || id > last || !::IsWindowVisible(child))
            continue;
        // Common-control bars dock themselves to their parent's edge on WM_SIZE.
        ::SendMessageA(child, WM_SIZE, 0, 0);
        RECT bar{};
        ::GetWindowRect(child, &bar);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&bar), 2);
        if (bar.bottom >= free.bottom && bar.top > free.top)
            free.bottom = bar.top;
        else if (bar.top <= free.top && bar.bottom < free.bottom)
            free.top = bar.bottom;
    }
    HWND rest = leftOver ? ::GetDlgItem(m_hWnd, static_cast<int>(leftOver)) : nullptr;
    if (rest)
        ::MoveWindow(rest, free.left, free.top, free.right - free.left, free.bottom - free.top,
                     TRUE);
}
