// CDlgSigner: describes a new signer of a template: a role, and whether the
// signer is the sending user, the mail's recipient, or a fixed person.
#pragma once

#include "classlib/ui/CDialog.h"
#include "classlib/ui/CEdit.h"
#include "shared/requests/Recip.h"

class CDlgSigner : public CDialog {
public:
    static constexpr int kSender = 0;
    static constexpr int kRecipient = 1;
    static constexpr int kHardCoded = 2;

    explicit CDlgSigner(HWND parent = nullptr);

    CRecip m_signer; // filled by OK
    // The type chosen; the dialog opens with "Recipient", the usual case, so
    // no signer comes out without a type.
    int m_type = kRecipient;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;

private:
    void OnHardcoded();
    void OnSenderOrRecipient();
    void UpdateOK();

    CEdit m_role;
    CEdit m_name;
    CEdit m_email;
    CWnd m_ok;
    CString m_roleText;
    CString m_nameText;
    CString m_emailText;
};
