// CSyncBtn: the sync command's button, on the explorer's command bar and
// behind the ribbon's sync button. The command needs the service, so it
// refuses to run while Outlook is offline and says why.
#pragma once

#include "addin/CmdBtn.h"

class CSyncBtn : public CCmdBtn {
public:
    // Caption, face and mask ids (0 for a ribbon press).
    CSyncBtn(UINT captionId = 0, UINT faceId = 0, UINT maskId = 0);

    // FALSE while Outlook is offline, after telling the user so.
    BOOL CanClick() override;
};
