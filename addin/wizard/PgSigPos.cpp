#include "addin/wizard/PgSigPos.h"

#include "addin/AddinResource.h"
#include "addin/wizard/WizSheet.h"

CPgSigPos::CPgSigPos(DWORD kind) : CWizPage(kind, IDD_WIZ_SIG_POS) {}

BOOL CPgSigPos::OnSetActive()
{
    const bool manual = GetWizSheet()->m_request.m_sendOptions.m_positioning == kManual;
    ::CheckRadioButton(m_hWnd, IDC_SIGPOS_AUTO, IDC_SIGPOS_MANUAL,
                       manual ? IDC_SIGPOS_MANUAL : IDC_SIGPOS_AUTO);
    return CWizPage::OnSetActive();
}

BOOL CPgSigPos::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    if ((id == IDC_SIGPOS_AUTO || id == IDC_SIGPOS_MANUAL) && HIWORD(wParam) == BN_CLICKED) {
        PostWizardButtons(PSWIZB_NEXT | BackUnlessFirst());
        return TRUE;
    }
    return CWizPage::OnCommand(wParam, lParam);
}

BOOL CPgSigPos::OnKillActive()
{
    CSendOptions& options = GetWizSheet()->m_request.m_sendOptions;
    // Only the signing-sequence page, left with its box ticked, makes a
    // broadcast: each pass through here starts from a normal send.
    options.m_sendMode = 0;
    options.m_positioning =
        IsDlgButtonChecked(IDC_SIGPOS_AUTO) == BST_CHECKED ? kAutomatic : kManual;
    return CWizPage::OnKillActive();
}
