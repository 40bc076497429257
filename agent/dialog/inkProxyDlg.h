// CinkProxyDlg: the agent's one window. It logs in, reads the broadcast the
// add-in handed over, shows one row per step of every audience target and
// runs the steps one after the other on the step pump (CStepPump), with
// WM_USER+100 as its stage message. The first failure ends the run for
// good: that row and every later one show as failed and the button reads
// "Close". An icon in the notification area
// stands for the dialog while it is hidden there (minimise and the close
// box hide it; the tray's "&Open..." brings it back).
//
// The dialog owns every file of the broadcast from the start: whichever way
// it ends (the button, Enter or Escape after the question, "E&xit" from the
// tray), DoModal deletes them all before it returns. The end of the Windows
// session does not wait for DoModal: the process may be ended as soon as the
// dialog has heard of it, so the files go then and there, and the log says
// which targets were not sent.
#pragma once

#include <memory>
#include <vector>

#include "agent/run/BroadcastStep.h"
#include "agent/run/Rewrites.h"
#include "agent/tray/SystemTray.h"
#include "classlib/strings/CTypedPtrList.h"
#include "classlib/ui/CDialog.h"
#include "classlib/ui/CStatic.h"
#include "shared/config/Credentials.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/requests/Broadcast.h"
#include "shared/service/WebService.h"
#include "shared/ui/StepPump.h"

class OpQuillet;
class CProtocolUI;

class CinkProxyDlg : public CDialog, public CDispatcher, public CStepPump {
public:
    static constexpr UINT kStageMessage = WM_USER + 100;
    static constexpr UINT kStartMessage = WM_USER + 105;

    using Button = CStepPump::Button;

    CinkProxyDlg();
    ~CinkProxyDlg() override;

    // Runs the dialog and then deletes every file of the broadcast.
    INT_PTR DoModal() override;

    // ---- the broadcast run ----
    // Reads the broadcast file (m_broadcast.m_broadcastPath) and the files
    // it names and builds the steps. FALSE at the first thing missing; the
    // targets built before it stay.
    BOOL LoadBroadcast();
    HRESULT BuildBroadcastSteps();
    // Adds a piece file to the operation; a target's own piece (own) is
    // deleted with it, a piece all targets share stays until the end.
    // E_INVALIDARG for an empty path or name or no operation.
    HRESULT AddRequestPiece(const char* path, const char* name, OpQuillet* op, bool own);
    // Gives the target's operations their pieces: the shared ones and its
    // own recipient lists and filled tails, written now. On failure nothing
    // of the target's own is left.
    HRESULT PrepareTarget(CBroadcastTarget& target);
    // The target's own pieces go (its requests have been sent).
    void ReleaseTargetPieces(CBroadcastTarget& target);
    // Its operations go as well: a finished target keeps only its rows.
    void ReleaseTargetOps(CBroadcastTarget& target);
    // A step for the target, its texts formatted with the target's address,
    // appended to the pending steps; its operation comes with the target's
    // turn (MakeOps).
    HRESULT AddBroadcastStep(const std::shared_ptr<CBroadcastTarget>& target,
                             const CStepPlan& plan);
    // Gives each of the target's steps its operation, where it has none.
    void MakeOps(CBroadcastTarget& target);
    // Deletes the steps with their pieces, the web object and every request
    // file the broadcast names. Run by DoModal once the dialog has ended.
    void DeleteBroadcastFiles();

    // ---- what the dialog shows, for the people who look ----
    const CTypedPtrList<CStepOp>& GetSteps() const { return m_steps; }
    const CString& GetStatusText() const { return m_statusText; }
    Button GetButton() const { return m_button; }
    int GetFailureCount() const { return m_failureCount; }
    // What the status line says of the targets that were not sent; empty
    // when every target had its turn.
    CString NotSentText() const;
    bool HasTrayIcon() const { return !m_tray.IsRemoved(); }
    const CSystemTray& GetTray() const { return m_tray; }
    static int ImageOf(const CStepOp& step);

    CBroadcast m_broadcast;
    // Read from the broadcast file (as written: the receipt writer escapes).
    int m_makeReceipt = 1;
    CString m_receiptSubject;
    CString m_receiptCategory;
    CRoleMap m_roleMap;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnTimer(UINT_PTR id) override;
    void OnPaint() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void DoDataExchange(CDataExchange& dx) override;

    int StepImage(const CStepOp& step) const override { return ImageOf(step); }
    void OnLastStage() override { OnStepDone(); }
    void OnRunFailed(CWebSvrOp& op) override;
    bool PrepareStep(CStepOp& step) override;

private:
    void OnStartBroadcast();
    void OnRunStep(int stage);
    void OnStepDone();
    void OnStepFailed(const char* text);
    void OnCancelButton();
    // Ends the agent at once: the run stops where it stands, its exchange is
    // given up, and a question or other dialog of the agent's is closed
    // unanswered. DoModal then cleans up.
    void EndAgent();
    void OnEndSession();
    // The addresses of the targets some step of which has not gone out,
    // in list order.
    CString UnsentTargets() const;
    void OnSysCommand(WPARAM command);
    void FinishReceipt(CBroadcastTarget& target);
    // Targets from number first on are not sent, for reason; the log says so.
    void NoteNotSent(int first, const CString& reason);
    bool InitTrayAndList();

    HICON m_icon = nullptr;
    CSystemTray m_tray;
    CString m_tipText;
    CString m_balloonText;
    std::unique_ptr<CWebService> m_webService;
    std::unique_ptr<CProtocolUI> m_protocol;
    CCredentials m_credentials;
    CString m_serviceUrl;
    bool m_started = false;
    bool m_asking = false;
    bool m_ending = false;
    // Every target's steps, in the order they run; a target's steps wait
    // in the broadcast's pending list while it is being built.
    CTypedPtrList<CStepOp> m_steps{10};
    // The steps every target has; each step refers to its own.
    std::vector<CStepPlan> m_plan;
    // The recipient lists every target's own are made from.
    CRecipientLists m_readLists;
    int m_targetCount = 0;
    // The first target not sent (0: none) and why.
    int m_notSentFrom = 0;
    CString m_notSentReason;
    // The run ended because a target's pieces could not be made.
    bool m_preparationFailed = false;
    // The target done last: its last operation is the one the step pump
    // ran last, kept until the next target's turn.
    CBroadcastTarget* m_doneTarget = nullptr;
    CStatic m_picture;
    CWnd m_button2;
    int m_failureCount = 0;
};
