// CDlgSteps: runs the service operations of one interactive send one after
// the other, modally, and shows each as a row with a state icon, with a
// progress bar and a status line under them. Each operation runs stage by
// stage on the step pump (CStepPump), with WM_USER+1 as its stage message.
// A question step (manual positioning) asks the user, may open the
// request's page in the browser and then waits for a click on its icon.
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
#include "classlib/ui/CStatic.h"
#include "shared/ui/StepOp.h"
#include "shared/ui/StepPump.h"

class CDlgSteps : public CDialog, public CStepPump {
public:
    static constexpr UINT kStageMessage = WM_STEP_RUN;

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

    int StepImage(const CStepOp& step) const override;
    void OnLastStage() override { StepDone(); }
    void OnRunFailed(CWebSvrOp& op) override;
    void OnStepWithoutOp(CStepOp& step) override;

private:
    void AskQuestion(CStepOp& step);
    // Asks whether to give the request up; the run waits meanwhile.
    void ConfirmCancel();
    int YesNo(const char* text);

    CTypedPtrList<CStepOp> m_steps;
    CStatic m_picture;
};
