// CPgSigPos: the wizard page where the user chooses whether the service
// places the signature fields (automatic positioning) or the user places
// them in the browser after the upload (manual).
#pragma once

#include "addin/wizard/WizPage.h"
#include "shared/requests/SendOptions.h"

class CPgSigPos : public CWizPage {
public:
    // The request's positioning values.
    static constexpr int kManual = CSendOptions::kManualPositioning;
    static constexpr int kAutomatic = CSendOptions::kAutomaticPositioning;

    explicit CPgSigPos(DWORD kind);

protected:
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
};
