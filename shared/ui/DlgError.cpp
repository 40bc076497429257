#include "shared/ui/DlgError.h"

#include "shared/SharedResource.h"

CDlgError::CDlgError(HWND parent) : CDialog(IDD_ERROR, parent) {}

void CDlgError::DoDataExchange(CDataExchange& dx)
{
    DDX_Control(dx, IDC_ERROR_MESSAGE, m_message);
    DDX_Text(dx, IDC_ERROR_DETAILS, m_details);
}

BOOL CDlgError::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // The message line notifies its clicks; they mean nothing here.
    if (LOWORD(wParam) == IDC_ERROR_MESSAGE && HIWORD(wParam) == STN_CLICKED)
        return TRUE;
    return CDialog::OnCommand(wParam, lParam);
}
