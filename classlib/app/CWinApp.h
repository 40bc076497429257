// CWinApp: the application object of a deliverable. One per process (or per
// DLL); the deliverable registers it at start-up so that shared code can
// find the module it lives in.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

class CWinApp {
public:
    CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }

    // The module (program or DLL) this application object belongs to.
    void SetInstance(HINSTANCE instance) { m_hInstance = instance; }
    HINSTANCE GetInstance() const { return m_hInstance; }
    // Full path of that module's file.
    CString GetModulePath() const;

    // The command tail: what followed the program name on the command line
    // (leading blanks dropped). A program sets it from WinMain's argument;
    // when nobody did, it is taken from this process's command line.
    void SetCommandTail(const char* tail) { m_lpCmdLine = tail; }
    const char* GetCommandTail() const;

    // Where the command tail of a whole command line starts: after the program
    // name (quoted or not) and the blanks behind it. Never null.
    static const char* CommandTailOf(const char* commandLine);

    HINSTANCE m_hInstance = nullptr;
    const char* m_lpCmdLine = nullptr;
};

// The process-wide application object, null until one is registered.
CWinApp* AfxGetApp();
// Registers (or, with null, forgets) the process-wide application object.
void AfxSetApp(CWinApp* app);
