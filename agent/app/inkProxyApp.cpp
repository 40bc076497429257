#include "agent/app/inkProxyApp.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>
#include <ole2.h>

#include "agent/dialog/inkProxyDlg.h"
#include "agent/tray/SystemTray.h"
#include "shared/log/DebugLog.h"

namespace {

bool g_oleStarted = false;

} // namespace

bool StartAgentProcess()
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    InitCommonControlsEx(&controls);
    g_oleStarted = SUCCEEDED(OleInitialize(nullptr));
    // Registered before any window, so the tray window knows it.
    CSystemTray::AgentCreatedMessage();
    CSystemTray::TaskbarCreatedMessage();
    return g_oleStarted;
}

void EndAgentProcess()
{
    CSystemTray::DestroyHiddenParent();
    if (g_oleStarted)
        OleUninitialize();
    g_oleStarted = false;
}

BOOL CinkProxyApp::InitInstance()
{
    CLogBlock block("CinkProxyApp::InitInstance");
    if (!StartAgentProcess())
        TheLog().Error("CinkProxyApp::InitInstance: OLE did not start");
    {
        CinkProxyDlg dialog;
        dialog.m_broadcast.m_broadcastPath = GetCommandTail();
        dialog.DoModal();
    }
    EndAgentProcess();
    return FALSE;
}
