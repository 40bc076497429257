#include "shared/ui/Banner.h"
#include "shared/ui/DlgLogin.h"

#include "classlib/ui/CWaitCursor.h"
#include "classlib/win32/Gdi.h"
#include "shared/service/OpLogin.h"
#include "shared/SharedResource.h"
#include "shared/service/WebSvrAPI.h"

CDlgLogin::CDlgLogin(CWebSvrAPI* api, HWND parent) : CDialog(IDD_LOGIN, parent), CPumpOp(api) {}

void CDlgLogin::DoDataExchange(CDataExchange& dx)
{
    DDX_Control(dx, IDC_LOGIN_PICTURE, m_picture);
    DDX_Text(dx, IDC_LOGIN_EMAIL, m_credentials.m_email);
    DDX_Text(dx, IDC_LOGIN_PASSWORD, m_credentials.m_password);
    DDX_Text(dx, IDC_LOGIN_ACCOUNT, m_credentials.m_accountId);
    DDX_Check(dx, IDC_LOGIN_REMEMBER, m_remember);
}

BOOL CDlgLogin::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The frame only marks where the banner is painted.
    m_picture.ShowWindow(SW_HIDE);
    SetForegroundWindow();
    CreateStatusBar(GetSafeHwnd());
    return TRUE;
}

void CDlgLogin::OnOK()
{
    // A login already under way goes on as it is; OK again starts nothing.
    if (GetStage() >= 0 || m_timer)
        return;
    if (!UpdateData(TRUE))
        return;
    if (!GetOp()) {
        if (!GetApi())
            return;
        SetOp(new (std::nothrow) OpLogin(GetApi()->GetServiceUrl()));
        if (!GetOp())
            return;
    }
    CWaitCursor wait;
    static_cast<OpLogin*>(GetOp())->m_credentials = m_credentials;
    PostMessage(kStageMessage, CWebSvrOp::kPrepare);
}

void CDlgLogin::OnCancel()
{
    KillTimer(kStepTimer);
    m_timer = 0;
    DropOp();
    CDialog::OnCancel();
}

BOOL CDlgLogin::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message != kStageMessage)
        return FALSE;
    OnStep(*this, static_cast<int>(wParam), TRUE);
    result = 0;
    return TRUE;
}

void CDlgLogin::OnTimer(UINT_PTR id)
{
    if (id == kStepTimer)
        OnStepTimer(*this, IDS_LOGIN_REJECTED);
    CDialog::OnTimer(id);
}

void CDlgLogin::OnPaint()
{
    CPaintDC dc(GetSafeHwnd());
    PaintBanner(GetSafeHwnd(), m_picture.GetSafeHwnd(), dc.Get(), BannerFit::Frame);
}
