// CWnd: a non-owning view of a window. Copying it copies the handle only;
// the window lives and dies on its own (a dialog destroys its children).
// Members return what the Win32 call they wrap returns.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

class CWnd {
public:
    CWnd() = default;
    explicit CWnd(HWND hwnd) : m_hWnd(hwnd) {}
    CWnd(const CWnd&) = default;
    CWnd& operator=(const CWnd&) = default;
    virtual ~CWnd() = default;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }
    // Views another window; returns the one viewed before.
    HWND Attach(HWND hwnd);
    HWND Detach();
    bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }

    // A view of the child with that control id (no window when there is none).
    CWnd GetDlgItem(int id) const { return CWnd(::GetDlgItem(m_hWnd, id)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    CWnd GetParent() const { return CWnd(::GetParent(m_hWnd)); }

    BOOL SetWindowText(const char* text) { return ::SetWindowTextA(m_hWnd, text ? text : ""); }
    void GetWindowText(CString& text) const;
    CString GetWindowText() const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }

    // Returns whether the window was visible before.
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    // Returns whether the window was disabled before.
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }

    BOOL GetClientRect(RECT* rect) const { return ::GetClientRect(m_hWnd, rect); }
    BOOL GetWindowRect(RECT* rect) const { return ::GetWindowRect(m_hWnd, rect); }
    // Screen coordinates to this window's client coordinates, in place.
    void ScreenToClient(RECT* rect) const;
    BOOL MoveWindow(const RECT& rect, BOOL repaint = TRUE);
    BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags);

    BOOL Invalidate(BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL UpdateWindow() { return ::UpdateWindow(m_hWnd); }

    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }

    // A timer of this window: WM_TIMER with the id arrives in its procedure.
    // Returns the id (0 on failure).
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs)
    {
        return ::SetTimer(m_hWnd, id, elapseMs, nullptr);
    }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

    // Lets the children with ids first..last (bars docked at an edge) lay
    // themselves out again after this window changed size, then gives the
    // child with id leftOver (if any) the client area the bars leave free.
    void RepositionBars(UINT first, UINT last, UINT leftOver);

    HWND m_hWnd = nullptr;
};
