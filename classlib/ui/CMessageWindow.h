// CMessageWindow: a hidden, message-only window whose messages go to a
// handler of its owner's, for work posted to the thread's own queue (a
// stage of an exchange, a piece of work that must wait until an event has
// returned) and for calls that want a window to own something (the
// clipboard). It is a window of a system class, subclassed: a class of a
// library's own would outlive the library when its host unloads it.
//
// The window goes with the object; it is neither copied nor moved, since
// the window's procedure finds the object by its address.
#pragma once

#include <functional>

#include <windows.h>

class CMessageWindow {
public:
    // Answers one message: true when it was handled (its result in
    // result), false to leave it to the window's own procedure.
    using Handler =
        std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)>;

    CMessageWindow() = default;
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;
    ~CMessageWindow() { Destroy(); }

    // Makes the window on this thread; false (GetLastError says why) when
    // it cannot be had. A handler may be empty: the window then only owns.
    bool Create(Handler handler = {});
    // From now on no message reaches the handler; the window is gone.
    void Destroy() noexcept;

    HWND Get() const { return m_window; }
    explicit operator bool() const { return m_window != nullptr; }
    // Posts a message to the window; FALSE without one.
    BOOL Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return m_window ? PostMessageW(m_window, message, wParam, lParam) : FALSE;
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
    WNDPROC m_systemProc = nullptr;
    Handler m_handler;
};
