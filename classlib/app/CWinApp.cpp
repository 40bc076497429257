#include "classlib/app/CWinApp.h"

#include "classlib/win32/ModulePath.h"

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
    return ModulePathOf(m_hInstance);
}

const char* CWinApp::GetCommandTail() const
{
    return m_lpCmdLine ? m_lpCmdLine : CommandTailOf(GetCommandLineA());
}

const char* CWinApp::CommandTailOf(const char* commandLine)
{
    if (!commandLine)
        return "";
    const char* at = commandLine;
    // The program name ends at its closing quote when it starts with one (a
    // path with blanks), else at the first blank; quotes inside it are not
    // special, as the C runtime's own parsing of argv[0] has it.
    if (*at == '"') {
        ++at;
        while (*at && *at != '"')
            ++at;
        if (*at == '"')
            ++at;
    } else {
        while (*at && *at != ' ' && *at != '\t')
            ++at;
    }
    while (*at == ' ' || *at == '\t')
        ++at;
    return at;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

void AfxSetApp(CWinApp* app)
{
    g_app = app;
}
