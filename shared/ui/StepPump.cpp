#include "shared/ui/StepPump.h"

#include <commctrl.h>

#include "shared/log/DebugLog.h"
#include "shared/service/OpAddDoc.h"
#include "shared/ui/DlgError.h"

int CStepPump::UploadPercent(ULONGLONG sent, ULONGLONG total)
{
    if (total == 0)
        return 0;
    return static_cast<int>((sent >= total ? total : sent) * 100 / total);
}

void CStepPump::BindPump(CWnd& window, UINT stageMessage, int statusControl)
{
    m_window = &window;
    m_message = stageMessage;
    m_statusControl = statusControl;
}

void CStepPump::ListSteps(CTypedPtrList<CStepOp>& steps)
{
    m_steps = &steps;
    // A broadcast brings thousands of rows: the list makes room once and
    // draws them once, not after each.
    m_list.SendMessage(WM_SETREDRAW, FALSE);
    m_list.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(steps.GetCount()));
    int row = 0;
    for (POSITION pos = steps.GetHeadPosition(); pos;) {
        CStepOp* step = steps.GetNext(pos);
        step->m_listIndex = m_list.InsertItem(row++, LPSTR_TEXTCALLBACK, I_IMAGECALLBACK,
                                              reinterpret_cast<LPARAM>(step));
    }
    m_list.SendMessage(WM_SETREDRAW, TRUE);
    m_list.Invalidate();
    m_next = steps.GetHeadPosition();
    m_current = m_next ? steps.GetNext(m_next) : nullptr;
}

void CStepPump::StartRun()
{
    if (!m_window || !m_current || m_started)
        return;
    m_started = true;
    if (m_current->m_op) {
        m_awaitingReport = true;
        m_window->PostMessage(m_message, CWebSvrOp::kPrepare);
    } else {
        m_stage = 0;
        StartTimer();
    }
}

void CStepPump::StartTimer()
{
    m_timer = m_window->SetTimer(kStepTimer, kStepDelayMs);
}

void CStepPump::PumpStage(int stage)
{
    if (m_paused) {
        m_heldStage = stage;
        return;
    }
    // After a failure, or once all is done, nothing carries the run on.
    if (!m_current || m_failed || m_finished || m_current->m_state == kFailed)
        return;
    CWebSvrOp* op = m_current->m_op.get();
    if (op) {
        // Only the report of the stage that ran moves an operation on.
        if (!m_awaitingReport)
            return;
        m_awaitingReport = false;
    } else if (stage != kLastStage ||
               (m_current->m_state != kSkipped && m_current->m_state != kWaiting)) {
        // A step without an operation ends only once it has been answered.
        return;
    }
    m_stage = stage;
    if (!op) {
        OnLastStage();
        return;
    }
    if (stage < CWebSvrOp::kPrepare || stage > kLastStage)
        return;
    ShowStage(*op, stage);
    if (stage == kLastStage)
        OnLastStage();
    else if (op->IsWaiting())
        // The report of a stage that waits on the network: the stage had
        // its tick when it began.
        RunStage();
    else
        StartTimer();
}

void CStepPump::ShowStage(CWebSvrOp& op, int stage)
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

bool CStepPump::PumpTimer(UINT_PTR id)
{
    if (id != kStepTimer || !m_window)
        return false;
    m_window->KillTimer(kStepTimer);
    m_timer = 0;
    if (m_paused) {
        m_heldTick = true;
        return true;
    }
    RunStage();
    return true;
}

void CStepPump::RunStage()
{
    if (!m_current || m_failed || m_finished || m_current->m_state == kFailed)
        return;
    // A step whose request cannot be made ready fails as a stage does.
    const bool ready = m_stage != CWebSvrOp::kPrepare || PrepareStep(*m_current);
    CWebSvrOp* op = m_current->m_op.get();
    if (!op) {
        if (ready)
            OnStepWithoutOp(*m_current);
        return;
    }
    m_lastRun = op;
    m_awaitingReport = true;
    if (ready && op->Run(m_window->GetSafeHwnd(), m_message, m_stage))
        return;

    TheLog().Comment("CStepPump: Op Step FAILED");
    m_awaitingReport = false;
    m_failed = true;
    op->ReleaseUpload();
    op->CloseRequest();
    m_current->m_state = kFailed;
    OnRunFailed(*op);
}

void CStepPump::MarkDone()
{
    if (!m_current)
        return;
    if (m_current->m_state != kSkipped && m_current->m_state != kFailed)
        m_current->m_state = kDone;
    Redraw(m_current);
}

bool CStepPump::NextStep()
{
    if (!m_next || !m_steps) {
        m_finished = true;
        return false;
    }
    m_current = m_steps->GetNext(m_next);
    m_progress.SetPos(0);
    m_stage = 0;
    m_awaitingReport = false;
    StartTimer();
    m_list.EnsureVisible(m_current->m_listIndex, FALSE);
    return true;
}

void CStepPump::ReportFailure(const char* text, const CString& fallback)
{
    if (m_current && m_steps) {
        for (CStepOp* step : *m_steps) {
            if (step->m_listIndex >= m_current->m_listIndex) {
                step->m_state = kFailed;
                Redraw(step);
            }
        }
    }
    CDlgError error(m_window ? m_window->GetSafeHwnd() : nullptr);
    error.m_details = text && *text ? CString(text) : fallback;
    error.DoModal();
}

void CStepPump::Resume()
{
    m_paused = false;
    // The run goes on with what arrived while it waited.
    if (m_heldTick) {
        m_heldTick = false;
        StartTimer();
    }
    if (m_heldStage >= 0) {
        const int stage = m_heldStage;
        m_heldStage = -1;
        m_window->PostMessage(m_message, static_cast<WPARAM>(stage));
    }
}

void CStepPump::StopRun()
{
    if (m_window)
        m_window->KillTimer(kStepTimer);
    m_timer = 0;
    // A question step has no operation to give up.
    if (m_current && m_current->m_op) {
        m_current->m_op->ReleaseUpload();
        m_current->m_op->CloseRequest();
    }
}

void CStepPump::ForgetSteps()
{
    m_current = nullptr;
    m_next = nullptr;
    m_lastRun = nullptr;
}

void CStepPump::Redraw(const CStepOp* step)
{
    if (step && step->m_listIndex >= 0)
        m_list.Update(step->m_listIndex);
}

void CStepPump::ShowStatus(const CString& text)
{
    m_statusText = text;
    if (m_window && m_window->GetSafeHwnd())
        ::SetDlgItemTextA(m_window->GetSafeHwnd(), m_statusControl, m_statusText);
}

void CStepPump::SetButton(Button button)
{
    m_button = button;
    const char* caption = button == Button::kDone    ? "Done"
                          : button == Button::kClose ? "Close"
                                                     : "Cancel";
    if (m_window && m_window->GetSafeHwnd())
        ::SetDlgItemTextA(m_window->GetSafeHwnd(), IDCANCEL, caption);
}

int CStepPump::StateImage(int state, int pendingImage, int failedImage)
{
    switch (state) {
    case kPending:
        return pendingImage;
    case kDone:
        return 0;
    case kSkipped:
        return 1;
    case kWaiting:
        return 4;
    case kFailed:
        return failedImage;
    default:
        return 3;
    }
}

BOOL CStepPump::PumpListNotify(LPARAM lParam, LRESULT* result)
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
            info->item.iImage = StepImage(*step);
        if ((info->item.mask & LVIF_TEXT) && info->item.iSubItem == 0)
            CListCtrl::SetDisplayText(header, step->m_pendingText);
        *result = 0;
        return TRUE;
    }
    case NM_CLICK:
        OnIconClick(*reinterpret_cast<NMITEMACTIVATE*>(lParam));
        *result = 0;
        return TRUE;
    default:
        return FALSE;
    }
}

void CStepPump::OnIconClick(const NMITEMACTIVATE& click)
{
    // Where the click landed (the list's client coordinates): only the icon
    // of the step that waits for the user resumes the run.
    UINT flags = 0;
    const int row = m_list.HitTest(click.ptAction, &flags);
    if (row < 0 || !(flags & LVHT_ONITEMICON) || !m_window)
        return;
    auto* step = reinterpret_cast<CStepOp*>(m_list.GetItemData(row));
    if (!step || step != m_current || step->m_state != kWaiting)
        return;
    if (step->m_op)
        m_awaitingReport = true;
    m_window->PostMessage(m_message, kLastStage);
}
