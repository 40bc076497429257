#include "editor/dialogs/DlgEditError.h"

#include "editor/EditorResource.h"

namespace editor {

CDlgError::CDlgError(HWND parent) : CDialog(IDD_EDIT_ERROR, parent) {}

void CDlgError::Show(HWND parent, const CString& message, const CString& details)
{
    CDlgError dialog(parent);
    dialog.m_message = message;
    dialog.m_details = details;
    dialog.DoModal();
}

void CDlgError::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, IDC_EDIT_ERROR_MESSAGE, m_message);
    DDX_Text(dx, IDC_EDIT_ERROR_DETAILS, m_details);
}

} // namespace editor
