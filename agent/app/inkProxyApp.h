// CinkProxyApp: the agent program. The whole command tail is the path of
// the broadcast file the add-in wrote (no quotes, no options: the add-in
// passes the path as it stands); the program runs the agent's dialog on it
// and ends when the dialog ends.
#pragma once

#include "classlib/app/CWinApp.h"

class CinkProxyApp : public CWinApp {
public:
    // Returns FALSE: the program has nothing to do once its dialog is gone.
    BOOL InitInstance() override;
};

// The program's process-wide start: common controls, OLE, the agent's
// window message. Undone by EndAgentProcess.
bool StartAgentProcess();
void EndAgentProcess();
