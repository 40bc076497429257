// CDlgSteps: runs the service operations of one interactive send one after
// the other, modally, and shows each as a row with a state icon, with a
// progress bar and a status line under them. Each operation runs stage by
// stage: a stage message (WM_USER+1, wParam the stage) shows the stage and
// arms a 25 ms timer, whose tick runs the stage; the operation posts the
// next stage when it is done. A question step (manual positioning) asks the
// user, may open the request's page in the browser and then waits for a
// click on its icon.
//
// The run stops at the first failure: that row and every later one show as
// failed, the error is shown and the one button reads "Close". Success
// (IDOK with the ok flag set) is only ever reported after the last step:
// the caller then deletes the mail item.
#pragma once

#include <memory>

#include "addin/core/WindowMessages.h"
#include "classlib/strings/CTypedPtrList.h"
#include "classlib/ui/CDialog.h"
#include "classlib/ui/CListCtrl.h"
#include "classlib/ui/CProgressCtrl.h"
#include "classlib/ui/CStatic.h"
#include "shared/ui/StepOp.h"

class CDlgSteps : public CDialog {
public:
    static constexpr UINT kStageMessage = WM_STEP_RUN;
    static constexpr UINT_PTR kStepTimer = 1;
    static constexpr UINT kStepDelayMs = 25;
    // The stage that ends a step: an operation's last, a question's answer.
    static constexpr int kLastStage = 5;

    // A step's state, as its icon shows it.
    enum State { kPending = 0, kDone = 1, kSkipped = 2, kWaiting = 3, kFailed = 4 };

    explicit CDlgSteps(HWND parent = nullptr);
    ~CDlgSteps() override;

    // Appends a step (owned from now on, with its operation); a question
    // step marks the dialog as having one. Before the run only.
    void AddStep(std::unique_ptr<CStepOp> step);

    // The failed step and every later row show as failed and the user is
    // told why (text, or the "unknown reasons" text when empty).
    void OnStepFailed(const char* text);
    // The current step is done: the next one starts, or after the last the
    // dialog ends by itself (unless a question step asks for "Done").
    void StepDone();
    // Starts the user's browser on url, as the ".htm" files' open command
    // says; E_FAIL when the command cannot be found or started.
    HRESULT OpenInBrowser(const char* url);

    // How much of an upload has gone, in percent (0..100). In 64 bits: a
    // document of more than 42 MB would overflow sent * 100 in 32.
    static int UploadPercent(ULONGLONG sent, ULONGLONG total);

    const CTypedPtrList<CStepOp>& GetSteps() const { return m_steps; }
    const CString& GetStatusText() const { return m_statusText; }

    // After the run: success needs IDOK and the ok flag; the handled flag
    // says the dialog has dealt with the outcome itself (the user closed it,
    // or confirmed a cancel), so the caller reports nothing more.
    int m_ok = 1;
    int m_handled = 0;
    int m_hasQuestion = 0;

protected:
    BOOL OnInitDialog() override;
    // Enter ends nothing: only the last step ends the run as a success.
    void OnOK() override {}
    // The button (and Escape, and the close box) acts as its caption says.
    void OnCancel() override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnTimer(UINT_PTR id) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(HDC dc) override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    enum class Button { kCancel, kClose, kDone };

    void OnStage(int stage);
    void RunStage();
    void AskQuestion();
    void StartTimer();
    void ShowStatus(const CString& text);
    void SetButton(Button button);
    void Redraw(const CStepOp* step);
    int ImageOf(const CStepOp& step) const;
    // Asks whether to give the request up; the run waits meanwhile.
    void ConfirmCancel();
    void OnListClick(const NMITEMACTIVATE& click);
    int YesNo(const char* text);

    CTypedPtrList<CStepOp> m_steps;
    POSITION m_next = nullptr;      // the step after the current one
    CStepOp* m_current = nullptr;   // the step that runs or waits
    CWebSvrOp* m_lastRun = nullptr; // the operation that ran last
    int m_stage = -1;               // -1 before the first step
    UINT_PTR m_timer = 0;
    bool m_started = false;        // the first stage message has been posted
    bool m_awaitingReport = false; // an operation is to post its next stage
    bool m_failed = false;
    bool m_finished = false; // every step is done
    // While the cancel question is open the run waits: a stage message or
    // a tick that comes meanwhile is kept and taken up again afterwards.
    bool m_paused = false;
    int m_heldStage = -1;
    bool m_heldTick = false;
    Button m_button = Button::kCancel;
    CString m_statusText;
    CListCtrl m_list;
    CProgressCtrl m_progress;
    CStatic m_picture;
};
