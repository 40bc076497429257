#include "editor/app/EditApp.h"

#include "classlib/ui/CommonControls.h"
#include "editor/app/BusyRetry.h"
#include "editor/main/EditDlg.h"

BOOL CEditApp::InitInstance()
{
    InitCommonControlsOnce();
    // The folder of this program is where the defaults file and the other
    // deliverables are.
    AfxSetApp(this);
    // Outlook, driven from this thread, refuses calls while a dialog of its
    // own runs (the Options dialog the editor was started from, say).
    CBusyRetryFilter busyOutlook;
    CEditDlg dialog;
    dialog.DoModal();
    // The dialog was the program.
    return FALSE;
}
