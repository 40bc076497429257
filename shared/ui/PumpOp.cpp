#include "shared/ui/PumpOp.h"

#include <commctrl.h>
#include <iterator>

#include "classlib/strings/LoadText.h"
#include "shared/log/DebugLog.h"
#include "shared/ui/DlgError.h"
#include "shared/SharedResource.h"
#include "shared/service/WebSvrAPI.h"

CPumpOp::CPumpOp(CWebSvrAPI* api) : m_api(api) {}

CPumpOp::~CPumpOp() = default;

void CPumpOp::SetOp(CWebSvrOp* op)
{
    m_op.reset(op);
}

void CPumpOp::ShowStatus(const char* text)
{
    m_statusText = text;
    if (m_statusBarMade)
        m_statusBar.SetPaneText(1, m_statusText);
}

void CPumpOp::CreateStatusBar(HWND dialog)
{
    CWnd window(dialog);
    if (!m_statusBar.Create(dialog, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR))
        return;
    const UINT indicators[] = {IDS_PANE_BLANK_1, IDS_PANE_BLANK_2};
    m_statusBar.SetIndicators(indicators, static_cast<int>(std::size(indicators)));
    RECT client{};
    window.GetClientRect(&client);
    m_statusBar.SetPaneInfo(0, IDS_PANE_BLANK_2, 0, (client.right - client.left) / 2 - 8);
    m_statusBar.SetPaneInfo(1, IDS_PANE_BLANK_1, SBPS_STRETCH, 0);

    m_progress.Create(m_statusBar, IDS_PANE_BLANK_2, WS_VISIBLE | PBS_SMOOTH);
    m_progress.SetRange(0, 6);
    m_progress.SetPos(0);

    window.RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, IDS_PANE_BLANK_2);
    m_progress.Reposition(m_statusBar);
    m_statusBarMade = 1;
}

void CPumpOp::OnStep(CDialog& dialog, int stage, BOOL endDialog)
{
    Step(dialog, stage, endDialog ? &dialog : nullptr);
}

void CPumpOp::OnStep(CWnd& window, int stage)
{
    Step(window, stage, nullptr);
}

void CPumpOp::Step(CWnd& window, int stage, CDialog* toEnd)
{
    if (m_awaitingStart && stage != CWebSvrOp::kPrepare)
        return;
    m_awaitingStart = false;
    m_stage = stage;
    if (!m_op)
        return;
    if (stage >= CWebSvrOp::kPrepare && stage <= CWebSvrOp::kDone) {
        ShowStatus(m_success ? m_op->GetStageText(stage)
                             : LoadText(IDS_OPERATION_FAILED, "Operation Failed!").GetString());
        if (m_statusBarMade)
            m_progress.SetPos(stage + 1);
    }
    if (stage != CWebSvrOp::kDone || !OnOpDone()) {
        m_timer = window.SetTimer(kStepTimer, kStepDelayMs);
        return;
    }
    // The run that reached its last stage succeeded, whatever an earlier try
    // of the same dialog did: a login accepted at the second try closes the
    // dialog as one accepted at the first.
    m_op->CloseRequest();
    m_success = 1;
    if (toEnd)
        toEnd->EndDialog(IDOK);
}

void CPumpOp::OnStepTimer(CWnd& window, UINT errorStringId)
{
    window.KillTimer(kStepTimer);
    m_timer = 0;
    if (!m_op || m_stage < 0)
        return;
    if (m_op->Run(window.GetSafeHwnd(), kStageMessage, m_stage))
        return;

    TheLog().Comment("Op Step FAILED");
    m_success = 0;
    m_awaitingStart = true;
    m_op->ReleaseUpload();
    CDlgError error(window.GetSafeHwnd());
    error.m_details = m_op->GetErrorText();
    if (error.m_details.IsEmpty())
        error.m_details = LoadText(errorStringId, "");
    error.DoModal();
    ShowStatus("");
    m_stage = -1;
    if (m_statusBarMade)
        m_progress.SetPos(0);
    m_op->CloseRequest();
}

void CPumpOp::DropOp()
{
    if (m_op)
        m_op->CloseRequest();
    m_op.reset();
}
