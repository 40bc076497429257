// CWnd: a non-owning view of a window. Copying it copies the handle only;
// the window lives and dies on its own (a dialog destroys its children).
// Members return what the Win32 call they wrap returns.
//
// A CWnd can also take a window's messages (SubclassWindow, CreateEx): its
// WindowProc sees them before the window's own procedure, and notifications
// the window's children send it are first offered to the children's own
// objects (OnChildNotify), so a control can handle what it reports itself.
// No exception leaves that procedure: one thrown by a handler is reported
// to the debugger and the message goes to the window's own procedure. The
// object lets go of the window when the window goes (WM_NCDESTROY), then
// PostNcDestroy runs, where an object that lives as long as its window may
// delete itself. Only the object that subclassed a window owns that; its
// copies are plain views.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

class CWnd {
public:
    CWnd() = default;
    explicit CWnd(HWND hwnd) : m_hWnd(hwnd) {}
    CWnd(const CWnd& other) : m_hWnd(other.m_hWnd) {}
    // Views the other window; an object that subclassed its own window lets
    // go of it first.
    CWnd& operator=(const CWnd& other);
    // A window still subclassed gets its own procedure back.
    virtual ~CWnd();

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }
    // Views another window; returns the one viewed before.
    HWND Attach(HWND hwnd);
    HWND Detach();
    // Makes this object the window's message handler (it also views it).
    // FALSE when it already handles a window or the window has an object.
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(int id, HWND parent);
    // Gives the window its own procedure back; returns the window.
    HWND UnsubclassWindow();
    // Creates a child window of a registered class and subclasses it. FALSE
    // when the window could not be made.
    BOOL CreateEx(DWORD exStyle, const char* className, const char* text, DWORD style,
                  const RECT& rect, HWND parent, UINT id);
    BOOL DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }
    // The object that subclassed the window, or null.
    static CWnd* FromHandlePermanent(HWND hwnd);
    bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }

    // A view of the child with that control id (no window when there is none).
    CWnd GetDlgItem(int id) const { return CWnd(::GetDlgItem(m_hWnd, id)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    CWnd GetParent() const { return CWnd(::GetParent(m_hWnd)); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    void SetFont(HFONT font, BOOL redraw = TRUE)
    {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    }

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

    BOOL CheckDlgButton(int id, UINT check) { return ::CheckDlgButton(m_hWnd, id, check); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }

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

    // For a parent's procedure: offers a notification from one of its
    // children (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM) to that
    // child's object. True when the child took it, its answer in result.
    static bool ReflectToChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT& result);

    HWND m_hWnd = nullptr;

protected:
    // A subclassed window's messages; the default passes them on to the
    // window's own procedure (DefWindowProc).
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // A notification this control sent its parent, reflected back. Return
    // TRUE when handled, with the answer for the parent in *result.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The window has gone and the object has let go of it.
    virtual void PostNcDestroy() {}

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    WNDPROC m_ownProc = nullptr; // set while this object subclasses m_hWnd
};
