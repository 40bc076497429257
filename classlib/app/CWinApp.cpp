#include "classlib/app/CWinApp.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

CString CWinApp::GetModulePath() const
{
    CString path;
    DWORD capacity = MAX_PATH;
    for (;;) {
        DWORD length = GetModuleFileNameA(m_hInstance, path.GetBuffer(capacity), capacity);
        if (length < capacity) {
            path.ReleaseBuffer(length);
            return path;
        }
        capacity *= 2;
    }
}

CWinApp* AfxGetApp() { return g_app; }

void AfxSetApp(CWinApp* app) { g_app = app; }
