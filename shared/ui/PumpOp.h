// CPumpOp: runs one service operation stage by stage inside a dialog (or
// another window, such as a property sheet), so the window stays responsive
// and shows each stage's text and a progress bar in a status bar along its
// bottom. The window posts WM_USER+100 with stage 0 to start, routes
// WM_USER+100 to OnStep and its timer to OnStepTimer.
#pragma once

#include <memory>

#include "classlib/ui/CDialog.h"
#include "classlib/ui/CStatusBar.h"
#include "shared/ui/StatusProgress.h"
#include "shared/service/WebSvrOp.h"

class CWebSvrAPI;

class CPumpOp {
public:
    static constexpr UINT kStageMessage = WM_USER + 100;
    static constexpr UINT_PTR kStepTimer = 1;
    static constexpr UINT kStepDelayMs = 25;

    explicit CPumpOp(CWebSvrAPI* api);
    CPumpOp(const CPumpOp&) = delete;
    CPumpOp& operator=(const CPumpOp&) = delete;
    virtual ~CPumpOp();

    // Asked when an operation has reached its last stage; non-zero: it is
    // finished and the dialog may end.
    virtual BOOL OnOpDone() = 0;

    // The status bar with its two panes and the progress bar in the first.
    void CreateStatusBar(HWND dialog);
    // A stage message arrived (wParam: the stage). With endDialog the
    // dialog ends with IDOK once an operation has succeeded.
    void OnStep(CDialog& dialog, int stage, BOOL endDialog);
    // The same for a window that the runner never ends.
    void OnStep(CWnd& window, int stage);
    // The step timer fired: runs the stored stage.
    void OnStepTimer(CWnd& window, UINT errorStringId);
    // Forgets the current operation (deleting it).
    void DropOp();

    // Makes op (owned from now on) the current operation.
    void SetOp(CWebSvrOp* op);
    CWebSvrOp* GetOp() const { return m_op.get(); }
    int GetStage() const { return m_stage; }
    BOOL Succeeded() const { return m_success; }
    const CString& GetStatusText() const { return m_statusText; }
    CStatusBar& GetStatusBar() { return m_statusBar; }
    CStatusProgress& GetProgress() { return m_progress; }
    CWebSvrAPI* GetApi() const { return m_api; }

protected:
    int m_stage = -1;
    UINT_PTR m_timer = 0;
    CWebSvrAPI* m_api;
    CStatusBar m_statusBar;
    CStatusProgress m_progress;
    int m_statusBarMade = 0;
    int m_success = 1;
    CString m_statusText;
    std::unique_ptr<CWebSvrOp> m_op;

private:
    void ShowStatus(const char* text);
    void Step(CWnd& window, int stage, CDialog* toEnd);
    // After a failure only a fresh start (stage 0) is taken: a stage message
    // still on its way from the failed run must not carry it on.
    bool m_awaitingStart = false;
};
