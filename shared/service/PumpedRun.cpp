#include "shared/service/PumpedRun.h"

#include "classlib/ui/CMessageWindow.h"
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

} // namespace

int CPumpedRun::Run(CWebSvrOp& op)
{
    const HWND top = m_owner ? GetAncestor(m_owner, GA_ROOT) : nullptr;
    // Null when the caller has no window: no dialog is then shown at all.
    op.SetOwner(top);

    CMessageWindow hidden;
    const bool made = hidden.Create([this, &hidden](UINT message, WPARAM wParam, LPARAM, LRESULT&) {
        if (message != kStageMessage)
            return false;
        RunStage(hidden.Get(), static_cast<int>(wParam));
        return true;
    });
    if (!made) {
        TheLog().Error("CPumpedRun::Run: no window, the exchange runs in one call");
        return op.Run(nullptr, 0, CWebSvrOp::kPrepare);
    }

    DisabledWhile disabled(top);
    m_op = &op;
    m_done = false;
    m_result = 0;
    m_quit = false;
    hidden.Post(kStageMessage, CWebSvrOp::kPrepare);
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
    hidden.Destroy();
    m_op = nullptr;
    return m_result;
}

void CPumpedRun::RunStage(HWND window, int stage)
{
    if (m_done || !m_op)
        return;
    const int result = m_op->Run(window, kStageMessage, stage);
    // Each stage posts the next (or itself again while its job goes on);
    // the last stage and a failure post nothing.
    if (!result || (stage == CWebSvrOp::kDone && !m_op->IsWaiting())) {
        m_done = true;
        m_result = result;
    }
}
