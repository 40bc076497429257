// The agent's step engine: each step's operation runs stage by stage on the
// dialog's messages, the rows and the progress follow, and a target's
// receipt is filed once its last step is done.
#include "agent/dialog/inkProxyDlg.h"

#include <commctrl.h>

#include "agent/AgentResource.h"
#include "shared/log/DebugLog.h"
#include "shared/service/OpGetLink.h"
#include "shared/service/OpQuillet.h"
#include "shared/service/OpSendDoc.h"

namespace {

CString Text(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

} // namespace

void CinkProxyDlg::OnRunStep(int stage)
{
    PumpStage(stage);
}

void CinkProxyDlg::OnTimer(UINT_PTR id)
{
    if (!PumpTimer(id))
        CDialog::OnTimer(id);
}

void CinkProxyDlg::OnRunFailed(CWebSvrOp& op)
{
    SetButton(Button::kClose);
    if (m_preparationFailed) {
        // Nothing of this target went out; the user is told which did not.
        ShowStatus(NotSentText());
        OnStepFailed(m_notSentReason);
        return;
    }
    OnStepFailed(op.GetErrorText());
}

bool CinkProxyDlg::PrepareStep(CStepOp& current)
{
    CBroadcastTarget& target = *static_cast<CBroadcastStep&>(current).m_target;
    if (target.m_prepared)
        return true;
    // The target before it is done with, its last operation too.
    if (m_doneTarget && m_doneTarget != &target)
        ReleaseTargetOps(*m_doneTarget);
    m_doneTarget = nullptr;
    const HRESULT hr = PrepareTarget(target);
    if (SUCCEEDED(hr))
        return true;
    TheLog().HResult("CinkProxyDlg::PrepareStep", hr);
    CString reason;
    reason.Format(Text(IDS_AGENT_TARGET_FILES), target.m_number);
    NoteNotSent(target.m_number, reason);
    m_preparationFailed = true;
    return false;
}

void CinkProxyDlg::NoteNotSent(int first, const CString& reason)
{
    m_notSentFrom = first;
    m_notSentReason = reason;
    TheLog().Error(CString("CinkProxyDlg: ") + NotSentText());
}

CString CinkProxyDlg::NotSentText() const
{
    CString text;
    if (m_notSentFrom <= 0)
        return text;
    if (m_notSentFrom >= m_targetCount)
        text.Format(Text(IDS_AGENT_NOT_SENT_LAST), m_notSentFrom, m_targetCount,
                    m_notSentReason.GetString());
    else
        text.Format(Text(IDS_AGENT_NOT_SENT_FROM), m_notSentFrom, m_targetCount, m_targetCount,
                    m_notSentReason.GetString());
    return text;
}

void CinkProxyDlg::OnStepDone()
{
    auto* step = static_cast<CBroadcastStep*>(CurrentStep());
    if (!step || RunFailed())
        return;
    if (step->m_state != kSkipped)
        step->m_state = kDone;
    CWebSvrOp* op = step->m_op.get();
    CBroadcastTarget& target = *step->m_target;
    if (op && op->GetErrorCode() != 0) {
        ++m_failureCount;
    } else if (op) {
        if (step->m_plan.kind == StepKind::kCreate) {
            target.m_fileId = static_cast<OpSendDoc*>(op)->m_result;
            target.m_link.Empty();
        } else if (step->m_plan.kind == StepKind::kGetLink) {
            target.m_link = static_cast<OpGetLink*>(op)->m_result;
        }
        if (step->m_lastOfTarget && target.m_receipt)
            FinishReceipt(target);
    }
    if (step->m_lastOfTarget) {
        ReleaseTargetPieces(target);
        m_doneTarget = &target;
    }
    // The finished operation lets its upload and connection go: a long
    // broadcast keeps no request file or answer of a finished step.
    if (op) {
        op->ReleaseUpload();
        op->CloseRequest();
    }
    Redraw(step);
    if (!NextStep()) {
        SetButton(Button::kDone);
        // Targets the broadcast could not build were never sent: that is
        // what the user must learn, more than that the rest went.
        const CString notSent = NotSentText();
        if (!notSent.IsEmpty())
            ShowStatus(notSent);
        else
            ShowStatus(Text(m_failureCount ? IDS_AGENT_NOT_COMPLETED : IDS_AGENT_SUBMITTED));
    }
    UpdateWindow();
}

void CinkProxyDlg::FinishReceipt(CBroadcastTarget& target)
{
    CReceipt* receipt = target.m_receipt.get();
    // The receipt holds every piece the target's requests were made of, in
    // the order they went, written now that they all have.
    HRESULT hr = S_OK;
    for (const CBroadcastStep* sent : target.m_steps) {
        const auto* op = static_cast<const OpQuillet*>(sent->m_op.get());
        for (POSITION pos = op ? op->m_castlets.GetHeadPosition() : nullptr; pos && SUCCEEDED(hr);)
            hr = CloseReceiptFile(receipt, op->m_castlets.GetNext(pos)->m_path);
    }
    if (SUCCEEDED(hr))
        hr = AddReceiptResults(receipt, target.m_fileId, target.m_link, m_receiptSubject,
                               m_receiptCategory);
    if (SUCCEEDED(hr))
        hr = CloseReceiptFile(receipt, nullptr);
    if (FAILED(hr)) {
        // Half a receipt is none: it goes with the target.
        TheLog().HResult("CinkProxyDlg::FinishReceipt", hr);
        return;
    }
    target.m_receiptFinished = true;
    if (FAILED(FileReceipt(receipt))) {
        CString note;
        note.Format("CinkProxyDlg::FinishReceipt: the receipt for %s stays at %s",
                    target.m_email.GetString(), receipt->GetFilePath().GetString());
        TheLog().Error(note);
    }
}

void CinkProxyDlg::OnStepFailed(const char* text)
{
    ReportFailure(text, Text(IDS_AGENT_UNKNOWN_FAILURE));
    UpdateWindow();
}

int CinkProxyDlg::ImageOf(const CStepOp& step)
{
    // A failed step keeps the pending step's lightning bolt (the red disc
    // is never shown): the agent's rows after a failure read as not sent.
    return StateImage(step.m_state, step.m_question ? 2 : 3, 3);
}

BOOL CinkProxyDlg::OnNotify(WPARAM, LPARAM lParam, LRESULT* result)
{
    return PumpListNotify(lParam, result);
}
