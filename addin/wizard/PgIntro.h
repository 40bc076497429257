// CPgIntro: the wizard's first page, which explains the steps and lets the
// user ask not to see it again.
#pragma once

#include "addin/wizard/WizPage.h"

class CPgIntro : public CWizPage {
public:
    explicit CPgIntro(DWORD kind);

    // "Don't show me this explanation again." was ticked when the page was
    // last left (0 or 1). The caller writes ShowWizIntro from it after a
    // finished wizard.
    int m_dontShowAgain = 0;

protected:
    BOOL OnKillActive() override;
};
