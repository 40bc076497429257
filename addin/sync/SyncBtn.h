// CSyncBtn: the sync command's button, on the explorer's command bar and
// behind the ribbon's sync button. The command needs the service, so it
// refuses to run while Outlook is offline or another command of the add-in
// runs, and says why. Its click logs in
// and runs the sync dialog on the explorer's selection (in a task folder
// with nothing selected, on every task of the folder).
#pragma once

#include "addin/commands/CmdBtn.h"
#include "addin/core/CommandRun.h"

class CSyncBtn : public CCmdBtn {
public:
    // Caption, face and mask ids (0 for a ribbon press).
    CSyncBtn(UINT captionId = 0, UINT faceId = 0, UINT maskId = 0);

    // FALSE while Outlook is offline, after telling the user so.
    BOOL CanClick() override;
    // The sync: 0 when it ran or there was nothing to do (offline);
    // E_INVALIDARG in a folder of neither tasks nor contacts; otherwise why
    // the connection or the login failed (the user cancelling the login
    // gives kUserCancelled). Failures are logged, not shown.
    HRESULT OnClick() override;

private:
    // Tells the user the sync does not run while that command runs.
    void ShowRefusal(AddinCommand running);
};
