#include "shared/service/PumpedRun.h"

#include "shared/log/DebugLog.h"
#include "shared/service/WebSvrOp.h"

namespace {

// The runners' stage message (WM_USER+100); nothing else reaches the
// hidden window.
constexpr UINT kStageMessage = WM_USER + 100;

// Enables a window again on every way out.
class DisabledWhile {
public:
    explicit DisabledWhile(HWND window)
        : m_window(window && IsWindowEnabled(window) ? window : nullptr)
    {
        if (m_window)
            EnableWindow(m_window, FALSE);
    }
    ~DisabledWhile()
    {
        if (m_window)
            EnableWindow(m_window, TRUE);
    }
    DisabledWhile(const DisabledWhile&) = delete;
    DisabledWhile& operator=(const DisabledWhile&) = delete;

private:
    HWND m_window;
};

// Destroys the hidden window on every way out.
struct WindowHolder {
    HWND window = nullptr;
    ~WindowHolder()
    {
        if (window)
            DestroyWindow(window);
    }
};

} // namespace

int CPumpedRun::Run(CWebSvrOp& op)
{
    const HWND top = m_owner ? GetAncestor(m_owner, GA_ROOT) : nullptr;
    // Null when the caller has no window: no dialog is then shown at all.
    op.SetOwner(top);

    // A window of a system class, subclassed for the stage message: a
    // class of our own would outlive an add-in that is unloaded.
    WindowHolder hidden;
    hidden.window =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (hidden.window) {
        SetWindowLongPtrA(hidden.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_staticProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hidden.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StageProc)));
    }
    if (!hidden.window || !m_staticProc) {
        TheLog().Error("CPumpedRun::Run: no window, the exchange runs in one call");
        return op.Run(nullptr, 0, CWebSvrOp::kPrepare);
    }

    DisabledWhile disabled(top);
    m_op = &op;
    m_done = false;
    m_result = 0;
    m_quit = false;
    PostMessageA(hidden.window, kStageMessage, CWebSvrOp::kPrepare, 0);
    while (!m_done) {
        MSG msg;
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The thread ends: the exchange is given up and the thread's own
            // loop hears of the quit as if nobody had waited here.
            op.CloseRequest();
            m_quit = true;
            m_result = 0;
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1) {
            op.CloseRequest();
            m_result = 0;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // A late report of a job given up finds no window to reach.
    SetWindowLongPtrA(hidden.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_staticProc));
    m_op = nullptr;
    return m_result;
}

LRESULT CALLBACK CPumpedRun::StageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CPumpedRun*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message != kStageMessage || !self)
        return self && self->m_staticProc
                   ? CallWindowProcA(self->m_staticProc, window, message, wParam, lParam)
                   : DefWindowProcA(window, message, wParam, lParam);
    if (self->m_done || !self->m_op)
        return 0;
    const int stage = static_cast<int>(wParam);
    const int result = self->m_op->Run(window, message, stage);
    // Each stage posts the next (or itself again while its job goes on);
    // the last stage and a failure post nothing.
    if (!result || (stage == CWebSvrOp::kDone && !self->m_op->IsWaiting())) {
        self->m_done = true;
        self->m_result = result;
    }
    return 0;
}
