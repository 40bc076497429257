// inkEdit.exe's entry point. It takes no command line: the options page
// starts it without arguments.
#include <objbase.h>
#include <ole2.h>
#include <windows.h>

#include "classlib/strings/CString.h"
#include "editor/app/EditApp.h"
#include "shared/config/CfgBase.h"
#include "shared/log/DebugLog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    SetResourceModule(instance);
    // The service host is the built-in one until settings are read.
    CurrentServiceHost() = kBuiltInServiceHost;
    CDebugLog log;
    CDebugLog::SetProcess(&log);
    // Outlook is driven from this thread, an apartment of its own.
    const HRESULT ole = OleInitialize(nullptr);
    int result = 0;
    {
        CEditApp app;
        app.SetInstance(instance);
        if (!app.InitInstance())
            result = app.ExitInstance();
        AfxSetApp(nullptr);
    }
    if (SUCCEEDED(ole))
        OleUninitialize();
    CDebugLog::SetProcess(nullptr);
    return result;
}
