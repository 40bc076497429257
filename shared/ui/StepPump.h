// CStepPump: runs the operations of a list of steps one after the other,
// stage by stage, on a dialog's own messages, and shows them as rows of a
// list view with a progress bar and a status line. The step dialog of an
// interactive send and the broadcast agent's dialog both run on it; each
// keeps its own texts, pictures and ending through the hooks below.
//
// Pacing: a stage message (wParam the stage) shows the stage and arms a
// 25 ms timer whose tick runs it, so the dialog repaints its text and bar
// before the stage begins; the operation posts the next stage when it is
// done. While a stage waits on the network (its CWireJob), the job's reports
// come as the same stage message: they are taken up at once, since the
// stage has already had its tick and a second one would only add to every
// exchange's time.
//
// The first failure ends the run: that step and every later row show as
// failed, and nothing after it runs or counts as done.
#pragma once

#include "classlib/strings/CTypedPtrList.h"
#include "classlib/ui/CListCtrl.h"
#include "classlib/ui/CProgressCtrl.h"
#include "classlib/ui/CWnd.h"
#include "shared/ui/StepOp.h"

class CStepPump {
public:
    static constexpr UINT_PTR kStepTimer = 1;
    static constexpr UINT kStepDelayMs = 25;
    // The stage that ends a step: an operation's last, a question's answer.
    static constexpr int kLastStage = 5;

    // A step's state, as its row's picture shows it.
    enum State { kPending = 0, kDone = 1, kSkipped = 2, kWaiting = 3, kFailed = 4 };
    // What the dialog's one button (id 2) says, and does.
    enum class Button { kCancel, kClose, kDone };

    // How much of an upload has gone, in percent (0..100). In 64 bits: a
    // document of more than 42 MB would overflow sent * 100 in 32.
    static int UploadPercent(ULONGLONG sent, ULONGLONG total);

    CStepPump() = default;
    CStepPump(const CStepPump&) = delete;
    CStepPump& operator=(const CStepPump&) = delete;
    virtual ~CStepPump() = default;

protected:
    // Binds the pump to its window: the stage message is posted there, and
    // the status line is its control statusControl.
    void BindPump(CWnd& window, UINT stageMessage, int statusControl);
    // Gives every step its row, in list order; the first becomes current.
    void ListSteps(CTypedPtrList<CStepOp>& steps);
    // Starts the current step: an operation at its first stage, a step
    // without one at its tick. Once only.
    void StartRun();
    // A stage message arrived.
    void PumpStage(int stage);
    // A timer fired; false when it was not the step timer.
    bool PumpTimer(UINT_PTR id);
    // The list's LVN_GETDISPINFO (picture and text on demand) and NM_CLICK
    // (a click on the waiting step's icon resumes the run); false for any
    // other notification.
    BOOL PumpListNotify(LPARAM lParam, LRESULT* result);

    // The current step is done (unless it was skipped or has failed).
    void MarkDone();
    // Moves on to the next step, at its first stage after a tick; false
    // after the last, when the run has finished.
    bool NextStep();
    // Every row from the current step's to the last shows as failed; the
    // user is told why (text, or fallback when text is empty).
    void ReportFailure(const char* text, const CString& fallback);
    // While paused (a question of the dialog's own is open) the run waits:
    // a stage message or a tick that comes meanwhile is kept and taken up
    // again on Resume.
    void Pause() { m_paused = true; }
    void Resume();
    // Ends the run where it stands (the dialog ends): no tick comes, and the
    // current operation gives its exchange up.
    void StopRun();
    // The steps go (their owner deletes them): the pump forgets them.
    void ForgetSteps();
    void Redraw(const CStepOp* step);
    void ShowStatus(const CString& text);
    void SetButton(Button button);
    // The picture of a step's row: pending and failed steps show what the
    // dialog chooses, the other states the same pictures everywhere.
    static int StateImage(int state, int pendingImage, int failedImage);

    CStepOp* CurrentStep() const { return m_current; }
    int CurrentStage() const { return m_stage; }
    bool RunFailed() const { return m_failed; }
    bool RunFinished() const { return m_finished; }
    bool RunStarted() const { return m_started; }
    bool IsPaused() const { return m_paused; }
    // The operation that ran last (it may still hold its connection).
    CWebSvrOp* LastRun() const { return m_lastRun; }
    // The run ends without any step (nothing to send).
    void EndRunEmpty() { m_failed = true; }

    // ---- hooks ----
    // The row picture of step.
    virtual int StepImage(const CStepOp& step) const = 0;
    // The current step reached its last stage.
    virtual void OnLastStage() = 0;
    // The current operation's stage failed: the step is marked failed and
    // has given its upload and request up.
    virtual void OnRunFailed(CWebSvrOp& op) = 0;
    // The tick of a step without an operation (a question).
    virtual void OnStepWithoutOp(CStepOp&) {}
    // Just before a step's first stage: the step may get its operation
    // here. false fails the step as a failed stage does (OnRunFailed
    // follows; the step must have its operation by then).
    virtual bool PrepareStep(CStepOp&) { return true; }

    CListCtrl m_list;
    CProgressCtrl m_progress;
    CString m_statusText;
    Button m_button = Button::kCancel;

private:
    void StartTimer();
    void RunStage();
    void ShowStage(CWebSvrOp& op, int stage);
    void OnIconClick(const NMITEMACTIVATE& click);

    CWnd* m_window = nullptr;
    UINT m_message = 0;
    int m_statusControl = 0;
    CTypedPtrList<CStepOp>* m_steps = nullptr;
    POSITION m_next = nullptr;      // the step after the current one
    CStepOp* m_current = nullptr;   // the step that runs or waits
    CWebSvrOp* m_lastRun = nullptr; // the operation that ran last
    int m_stage = -1;               // -1 before the first step
    UINT_PTR m_timer = 0;
    bool m_started = false;
    // A stage runs only once its predecessor reported: a stray or repeated
    // stage message never skips or repeats a stage.
    bool m_awaitingReport = false;
    bool m_failed = false;
    bool m_finished = false;
    bool m_paused = false;
    int m_heldStage = -1;
    bool m_heldTick = false;
};
