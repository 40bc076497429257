#include "editor/dialogs/DlgSigner.h"

#include "editor/EditorResource.h"
#include "editor/main/SampleAddresses.h"

namespace {

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

} // namespace

CDlgSigner::CDlgSigner(HWND parent) : CDialog(IDD_SIGNER, parent) {}

BOOL CDlgSigner::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_ok = GetDlgItem(IDOK);
    OnHardcoded();
    UpdateOK();
    return TRUE;
}

void CDlgSigner::DoDataExchange(CDataExchange& dx)
{
    DDX_Control(dx, IDC_SIGNER_ROLE, m_role);
    DDX_Control(dx, IDC_SIGNER_NAME, m_name);
    DDX_Control(dx, IDC_SIGNER_EMAIL, m_email);
    DDX_Text(dx, IDC_SIGNER_ROLE, m_roleText);
    DDX_Text(dx, IDC_SIGNER_NAME, m_nameText);
    DDX_Text(dx, IDC_SIGNER_EMAIL, m_emailText);
    // The three buttons are one group, exchanged as the index of the
    // checked one.
    const int ids[] = {IDC_SIGNER_SENDER, IDC_SIGNER_RECIPIENT, IDC_SIGNER_HARDCODED};
    if (dx.m_bSaveAndValidate) {
        for (int i = 0; i < 3; ++i) {
            if (IsDlgButtonChecked(ids[i]) == BST_CHECKED)
                m_type = i;
        }
    } else {
        for (int i = 0; i < 3; ++i)
            CheckDlgButton(ids[i], i == m_type ? BST_CHECKED : BST_UNCHECKED);
    }
}

BOOL CDlgSigner::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (code == BN_CLICKED && id == IDC_SIGNER_HARDCODED) {
        OnHardcoded();
        UpdateOK();
        return TRUE;
    }
    if (code == BN_CLICKED && (id == IDC_SIGNER_SENDER || id == IDC_SIGNER_RECIPIENT)) {
        OnSenderOrRecipient();
        return TRUE;
    }
    if (code == EN_CHANGE &&
        (id == IDC_SIGNER_ROLE || id == IDC_SIGNER_NAME || id == IDC_SIGNER_EMAIL)) {
        UpdateOK();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CDlgSigner::OnHardcoded()
{
    const BOOL fixed = IsDlgButtonChecked(IDC_SIGNER_HARDCODED) == BST_CHECKED;
    m_name.EnableWindow(fixed);
    m_email.EnableWindow(fixed);
}

void CDlgSigner::OnSenderOrRecipient()
{
    m_name.EnableWindow(FALSE);
    m_email.EnableWindow(FALSE);
    UpdateOK();
}

void CDlgSigner::UpdateOK()
{
    bool ready = m_role.GetWindowTextLength() > 0;
    if (IsDlgButtonChecked(IDC_SIGNER_HARDCODED) == BST_CHECKED)
        ready = ready && m_name.GetWindowTextLength() > 0 && m_email.GetWindowTextLength() > 0;
    m_ok.EnableWindow(ready);
}

void CDlgSigner::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    switch (m_type) {
    case kSender:
        m_signer.m_name = LoadText(IDS_SENDER);
        m_signer.m_email = kSampleSenderAddress;
        m_signer.m_sender = 1;
        break;
    case kHardCoded:
        m_signer.m_name = m_nameText;
        m_signer.m_email = m_emailText;
        m_signer.m_hardCoded = 1;
        m_signer.m_string7 = "yes";
        break;
    default:
        m_signer.m_name = LoadText(IDS_RECIPIENT);
        m_signer.m_email = kSampleRecipientAddress;
        break;
    }
    m_signer.m_role = m_roleText;
    EndDialog(IDOK);
}
