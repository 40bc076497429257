#include "editor/app/EditApp.h"

#include "classlib/ui/CommonControls.h"
#include "editor/main/EditDlg.h"

BOOL CEditApp::InitInstance()
{
    InitCommonControlsOnce();
    // The folder of this program is where the defaults file and the other
    // deliverables are.
    AfxSetApp(this);
    CEditDlg dialog;
    dialog.DoModal();
    // The dialog was the program.
    return FALSE;
}
