#include "addin/wizard/WizSheet.h"

#include <utility>

#include "addin/wizard/WizPage.h"
#include "shared/SharedResource.h"

namespace {

// The room the status bar takes below the wizard's buttons.
constexpr int kStatusBarRoom = 20;

} // namespace

CWizSheet::CWizSheet(CCredentials* credentials, CWebSvrAPI* api, UINT captionId, HWND parent,
                     UINT firstPage)
    : CPropertySheet(captionId, parent, firstPage), CPumpOp(api), m_credentials(credentials)
{}

void CWizSheet::AddPage(CWizPage* page)
{
    if (!page)
        return;
    page->SetWizSheet(this);
    CPropertySheet::AddPage(page);
}

BOOL CWizSheet::OnInitDialog()
{
    CPropertySheet::OnInitDialog();
    RECT frame{};
    GetWindowRect(&frame);
    SetWindowPos(nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + kStatusBarRoom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CreateStatusBar(GetSafeHwnd());
    for (int i = 0; i < GetPageCount(); ++i) {
        if (auto* page = dynamic_cast<CWizPage*>(GetPage(i)))
            page->SetWizSheet(this);
    }
    return TRUE;
}

BOOL CWizSheet::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message == kStageMessage) {
        OnStep(*this, static_cast<int>(wParam));
        result = 0;
        return TRUE;
    }
    if (message == WM_TIMER && wParam == kStepTimer) {
        OnStepTimer(*this, IDS_LOGIN_REJECTED);
        result = 0;
        return TRUE;
    }
    return FALSE;
}

void CWizSheet::StartOp(CWebSvrOp* op, CWizPage* page)
{
    SetOp(op);
    m_waitingPage = page;
    PostMessage(kStageMessage, CWebSvrOp::kPrepare);
}

BOOL CWizSheet::OnOpDone()
{
    if (m_statusBarMade) {
        m_statusBar.SetPaneText(1, "");
        m_progress.SetPos(0);
    }
    m_statusText.Empty();
    if (CWizPage* page = std::exchange(m_waitingPage, nullptr))
        page->OnOpDone(GetOp() && GetOp()->GetErrorCode() == 0);
    return TRUE;
}
