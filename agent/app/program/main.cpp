// inkProxy.exe's entry point.
#include <windows.h>

#include "agent/app/inkProxyApp.h"
#include "classlib/strings/CString.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int)
{
    SetResourceModule(instance);
    CinkProxyApp app;
    app.SetInstance(instance);
    app.SetCommandTail(commandTail);
    AfxSetApp(&app);
    app.InitInstance();
    const int code = app.ExitInstance();
    AfxSetApp(nullptr);
    return code;
}
