#include "classlib/ui/CMessageWindow.h"

#include <utility>

bool CMessageWindow::Create(Handler handler)
{
    Destroy();
    m_window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!m_window)
        return false;
    m_handler = std::move(handler);
    if (!m_handler)
        return true;
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_systemProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Procedure)));
    if (!m_systemProc) {
        const DWORD error = GetLastError();
        Destroy();
        SetLastError(error);
        return false;
    }
    return true;
}

void CMessageWindow::Destroy() noexcept
{
    if (!m_window)
        return;
    // What is still queued for the window (a late report) reaches nobody.
    if (m_systemProc) {
        SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_systemProc));
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    }
    DestroyWindow(m_window);
    m_window = nullptr;
    m_systemProc = nullptr;
    // The handler stays until the next Create or the end: it may be the
    // very code that destroys the window.
}

LRESULT CALLBACK CMessageWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CMessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || !self->m_systemProc)
        return DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    // Kept apart: the handler may destroy the window.
    const WNDPROC systemProc = self->m_systemProc;
    if (self->m_handler && self->m_handler(message, wParam, lParam, result))
        return result;
    return CallWindowProcW(systemProc, window, message, wParam, lParam);
}
