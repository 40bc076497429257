#include "editor/dialogs/DlgDelete.h"

#include "editor/EditorResource.h"

CDlgDelete::CDlgDelete(HWND parent) : CDialog(IDD_DELETE, parent) {}

void CDlgDelete::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, IDC_DELETE_QUESTION, m_question);
}
