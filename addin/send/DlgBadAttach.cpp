#include "addin/send/DlgBadAttach.h"

#include "addin/AddinResource.h"
#include "classlib/ui/CListBox.h"

CDlgBadAttach::CDlgBadAttach(const char* unsupported, HWND parent)
    : CDialog(IDD_BAD_ATTACH, parent), m_unsupported(unsupported ? unsupported : "")
{}

BOOL CDlgBadAttach::OnInitDialog()
{
    GetDlgItem(IDC_BAD_ATTACH_ICON)
        .SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_WARNING)));
    CListBox list(GetDlgItem(IDC_BAD_ATTACH_LIST));
    int start = 0;
    while (start <= m_unsupported.GetLength()) {
        int comma = m_unsupported.Find(',', start);
        if (comma < 0)
            comma = m_unsupported.GetLength();
        const CString name = m_unsupported.Mid(start, comma - start);
        if (!name.IsEmpty())
            list.InsertString(0, name);
        start = comma + 1;
    }
    return CDialog::OnInitDialog();
}

void CDlgBadAttach::TakeDontShowAgain()
{
    m_dontShowAgain = IsDlgButtonChecked(IDC_BAD_ATTACH_DONT_SHOW) == BST_CHECKED;
}

void CDlgBadAttach::OnOK()
{
    TakeDontShowAgain();
    EndDialog(IDOK);
}

void CDlgBadAttach::OnCancel()
{
    TakeDontShowAgain();
    EndDialog(IDCANCEL);
}
