// inkProxy.exe's entry point.
#include <windows.h>

#include "agent/app/inkProxyApp.h"
#include "classlib/strings/CString.h"
#include "shared/log/DebugLog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int)
{
    SetResourceModule(instance);
    // The agent's own log (on when the user's "Diagnose" switch asks),
    // before anything that logs.
    CDebugLog log;
    CDebugLog::SetProcess(&log);
    CinkProxyApp app;
    app.SetInstance(instance);
    app.SetCommandTail(commandTail);
    AfxSetApp(&app);
    app.InitInstance();
    const int code = app.ExitInstance();
    AfxSetApp(nullptr);
    CDebugLog::SetProcess(nullptr);
    return code;
}
