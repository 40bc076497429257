// CPumpedRun: runs an operation to its end for a caller that waits for the
// outcome (the login of the options page's credentials test), without
// holding up the thread it is called on. The exchange steps through a
// hidden window of this thread, its network waits on a worker (CWireJob),
// while this thread's messages go on being dispatched: the host's windows
// keep painting and never read as "Not Responding". Meanwhile the caller's
// top-level window is disabled, as a modal dialog's owner is, so that the
// user can neither start a second exchange nor close the window the first
// one reports to.
#pragma once

#include <windows.h>

class CWebSvrOp;

class CPumpedRun {
public:
    // owner: the caller's window (may be null); the dialogs of the exchange
    // (a proxy's request for credentials) belong to its top-level window.
    explicit CPumpedRun(HWND owner) : m_owner(owner) {}

    // Runs op from its first stage to its end; the operation's result.
    int Run(CWebSvrOp& op);
    // The thread was asked to end (WM_QUIT) while the exchange ran: it was
    // given up, and the quit passed on to the thread's own loop.
    bool Quit() const { return m_quit; }

private:
    // One stage of the exchange, as its message comes to the hidden window.
    void RunStage(HWND window, int stage);

    HWND m_owner;
    CWebSvrOp* m_op = nullptr;
    bool m_done = false;
    int m_result = 0;
    bool m_quit = false;
};
