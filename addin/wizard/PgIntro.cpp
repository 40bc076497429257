#include "addin/wizard/PgIntro.h"

#include "addin/AddinResource.h"

CPgIntro::CPgIntro(DWORD kind) : CWizPage(kind, IDD_WIZ_INTRO) {}

BOOL CPgIntro::OnKillActive()
{
    m_dontShowAgain = IsDlgButtonChecked(IDC_INTRO_DONT_SHOW) == BST_CHECKED ? 1 : 0;
    return CWizPage::OnKillActive();
}
