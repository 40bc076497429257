#include "addin/wizard/WizPage.h"

#include "addin/wizard/WizSheet.h"

CWizPage::CWizPage(DWORD kind, UINT templateId, UINT captionId)
    : CPropertyPage(templateId, captionId), m_kind(kind)
{}

BOOL CWizPage::OnOpDone(BOOL)
{
    return TRUE;
}

BOOL CWizPage::IsPageComplete()
{
    return TRUE;
}

DWORD CWizPage::BackUnlessFirst() const
{
    return m_kind == kFirstPage ? 0 : PSWIZB_BACK;
}

void CWizPage::PostWizardButtons(DWORD flags)
{
    HWND sheet = ::GetParent(m_hWnd);
    if (sheet)
        ::PostMessageA(sheet, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}

BOOL CWizPage::OnSetActive()
{
    PostButtonsFor(IsPageComplete());
    return CPropertyPage::OnSetActive();
}

void CWizPage::PostButtonsFor(BOOL complete)
{
    switch (m_kind) {
    case kOnlyPage:
        // An only page that is not complete leaves the buttons as they are.
        if (complete)
            PostWizardButtons(PSWIZB_FINISH);
        break;
    case kFirstPage:
        PostWizardButtons(complete ? PSWIZB_NEXT : 0);
        break;
    case kMiddlePage:
        PostWizardButtons(complete ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
        break;
    default:
        PostWizardButtons(complete ? PSWIZB_BACK | PSWIZB_FINISH : PSWIZB_BACK);
        break;
    }
}

BOOL CWizPage::OnKillActive()
{
    return CPropertyPage::OnKillActive();
}

BOOL CWizPage::OnWizardFinish()
{
    // Exactly 1: the leaving took place.
    if (OnKillActive() != 1)
        return FALSE;
    return CPropertyPage::OnWizardFinish();
}
