// The agent's step engine: each step's operation runs stage by stage on the
// dialog's messages, the rows and the progress follow, and a target's
// receipt is filed once its last step is done.
#include "agent/dialog/inkProxyDlg.h"

#include <commctrl.h>

#include "agent/AgentResource.h"
#include "shared/log/DebugLog.h"
#include "shared/service/OpAddDoc.h"
#include "shared/service/OpGetLink.h"
#include "shared/service/OpSendDoc.h"
#include "shared/ui/DlgError.h"

namespace {

CString Text(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

int UploadPercent(ULONGLONG sent, ULONGLONG total)
{
    if (total == 0)
        return 0;
    return static_cast<int>((sent >= total ? total : sent) * 100 / total);
}

} // namespace

void CinkProxyDlg::StartTimer()
{
    m_timer = SetTimer(kStepTimer, kStepDelayMs);
}

void CinkProxyDlg::OnRunStep(int stage)
{
    // After a failure, or once all is done, nothing carries the run on; nor
    // does a stage message that no stage asked for.
    if (!m_current || m_failed || m_finished || m_current->m_state == kFailed || !m_awaitingReport)
        return;
    m_awaitingReport = false;
    m_stage = stage;
    CWebSvrOp* op = m_current->m_op.get();
    if (!op || stage < CWebSvrOp::kPrepare || stage > kLastStage)
        return;
    ShowStage(*op, stage);
    if (stage == kLastStage)
        OnStepDone();
    else
        StartTimer();
}

void CinkProxyDlg::ShowStage(CWebSvrOp& op, int stage)
{
    int progress = (stage + 1) * 100 / 6;
    CString status;
    if (stage == CWebSvrOp::kSend && dynamic_cast<OpAddDoc*>(&op)) {
        const ULONGLONG total = op.GetUploadSize();
        const ULONGLONG sent = op.GetBytesSent();
        progress = UploadPercent(sent, total);
        status.Format(op.GetStageText(stage), static_cast<unsigned long>(sent),
                      static_cast<unsigned long>(total));
    } else {
        status = op.GetStageText(stage);
    }
    m_progress.SetPos(progress);
    ShowStatus(status);
}

void CinkProxyDlg::OnTimer(UINT_PTR id)
{
    if (id != kStepTimer) {
        CDialog::OnTimer(id);
        return;
    }
    KillTimer(kStepTimer);
    m_timer = 0;
    OnStepTimer();
}

void CinkProxyDlg::OnStepTimer()
{
    if (!m_current || m_failed || m_finished || m_current->m_state == kFailed)
        return;
    CWebSvrOp* op = m_current->m_op.get();
    if (!op)
        return;
    // One stage a tick, as every dialog runs the engine: the engine itself
    // moves an upload in large pieces and waits on the network off this
    // thread, posting the stage again when it has more to do.
    m_awaitingReport = true;
    if (op->Run(m_hWnd, kStageMessage, m_stage))
        return;
    TheLog().Comment("CinkProxyDlg: a step failed");
    m_awaitingReport = false;
    m_failed = true;
    op->ReleaseUpload();
    op->CloseRequest();
    m_current->m_state = kFailed;
    SetButton(Button::kClose);
    OnStepFailed(op->GetErrorText());
}

void CinkProxyDlg::OnStepDone()
{
    CBroadcastStep* step = m_current;
    if (!step || m_failed)
        return;
    if (step->m_state != kSkipped)
        step->m_state = kDone;
    CWebSvrOp* op = step->m_op.get();
    CBroadcastTarget& target = *step->m_target;
    if (op && op->GetErrorCode() != 0) {
        ++m_failureCount;
    } else if (op) {
        if (step->m_kind == StepKind::kCreate) {
            target.m_fileId = static_cast<OpSendDoc*>(op)->m_result;
            target.m_link.Empty();
        } else if (step->m_kind == StepKind::kGetLink) {
            target.m_link = static_cast<OpGetLink*>(op)->m_result;
        }
        if (step->m_lastOfTarget && target.m_receipt)
            FinishReceipt(target);
    }
    // The finished operation lets its upload and connection go: a long
    // broadcast keeps no request file or answer of a finished step.
    if (op) {
        op->ReleaseUpload();
        op->CloseRequest();
    }
    Redraw(step);
    if (m_next) {
        m_current = static_cast<CBroadcastStep*>(m_steps.GetNext(m_next));
        m_progress.SetPos(0);
        m_stage = 0;
        m_awaitingReport = false;
        StartTimer();
        m_list.EnsureVisible(m_current->m_listIndex, FALSE);
    } else {
        m_finished = true;
        SetButton(Button::kDone);
        ShowStatus(Text(m_failureCount ? IDS_AGENT_NOT_COMPLETED : IDS_AGENT_SUBMITTED));
    }
    UpdateWindow();
}

void CinkProxyDlg::FinishReceipt(CBroadcastTarget& target)
{
    CReceipt* receipt = target.m_receipt.get();
    HRESULT hr = AddReceiptResults(receipt, target.m_fileId, target.m_link, m_receiptSubject,
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
    if (m_current) {
        for (CStepOp* step : m_steps) {
            if (step->m_listIndex >= m_current->m_listIndex) {
                step->m_state = kFailed;
                Redraw(step);
            }
        }
    }
    CDlgError error(m_hWnd);
    error.m_details = text && *text ? CString(text) : Text(IDS_AGENT_UNKNOWN_FAILURE);
    error.DoModal();
    UpdateWindow();
}

int CinkProxyDlg::ImageOf(const CStepOp& step)
{
    switch (step.m_state) {
    case kPending:
        return step.m_question ? 2 : 3;
    case kDone:
        return 0;
    case kSkipped:
        return 1;
    case kWaiting:
        return 4;
    default:
        return 3;
    }
}

BOOL CinkProxyDlg::OnNotify(WPARAM, LPARAM lParam, LRESULT* result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header || header->hwndFrom != m_list.GetSafeHwnd())
        return FALSE;
    switch (header->code) {
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW: {
        // The item part of both forms lies alike up to the text.
        auto* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
        auto* step = reinterpret_cast<CStepOp*>(m_list.GetItemData(info->item.iItem));
        if (!step)
            return FALSE;
        if (info->item.mask & LVIF_IMAGE)
            info->item.iImage = ImageOf(*step);
        if ((info->item.mask & LVIF_TEXT) && info->item.iSubItem == 0)
            CListCtrl::SetDisplayText(header, step->m_pendingText);
        *result = 0;
        return TRUE;
    }
    case NM_CLICK: {
        const auto& click = *reinterpret_cast<NMITEMACTIVATE*>(lParam);
        UINT flags = 0;
        const int row = m_list.HitTest(click.ptAction, &flags);
        if (row < 0 || !(flags & LVHT_ONITEMICON))
            return FALSE;
        auto* step = reinterpret_cast<CStepOp*>(m_list.GetItemData(row));
        // Only a step that waits for the user resumes on its icon; no
        // broadcast step ever waits.
        if (step && step == m_current && step->m_state == kWaiting) {
            m_awaitingReport = true;
            PostMessage(kStageMessage, kLastStage);
        }
        *result = 0;
        return TRUE;
    }
    default:
        return FALSE;
    }
}
