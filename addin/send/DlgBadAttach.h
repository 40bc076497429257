// CDlgBadAttach: tells the user which attachments of the mail are of a type
// that is not sent, and asks whether to send without them ("Yes": IDOK) or
// not at all ("No": IDCANCEL). The user may ask not to be told again.
#pragma once

#include "classlib/ui/CDialog.h"

class CDlgBadAttach : public CDialog {
public:
    // unsupported: the file names left out, joined by ",".
    explicit CDlgBadAttach(const char* unsupported, HWND parent = nullptr);

    // Whether "Don't show me this warning again" was ticked when the user
    // answered (either way).
    BOOL m_dontShowAgain = FALSE;

protected:
    // The names are listed in the reverse of their order.
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    void TakeDontShowAgain();

    CString m_unsupported;
};
