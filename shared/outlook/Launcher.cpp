#include "shared/outlook/Launcher.h"

#include <vector>

#include "classlib/win32/Handles.h"
#include "shared/log/DebugLog.h"

namespace {

bool IsSeparator(char ch)
{
    return ch == '\\' || ch == '/';
}

} // namespace

BOOL CLauncher::LaunchProcess(const char* commandLine)
{
    // CreateProcess may write into the command line, so it gets a copy.
    const CString text(commandLine);
    std::vector<char> line(text.GetString(), text.GetString() + text.GetLength() + 1);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
#ifndef _WIN64
    static_assert(sizeof(STARTUPINFOA) == 68);
#endif
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        const DWORD error = GetLastError();
        TheLog().Error("CBrevikApp::LaunchProcess: Create Process Failed");
        // Writing the first record may have touched the thread's last error.
        SetLastError(error);
        TheLog().LastError("CBrevikApp::LaunchProcess");
        return FALSE;
    }
    CKernelHandle process(info.hProcess);
    CKernelHandle thread(info.hThread);
    return TRUE;
}

BOOL CLauncher::LaunchModuleProgram(const char* modulePath, const char* program,
                                    const char* argument)
{
    CString commandLine;
    if (!MakeModuleCommandLine(modulePath, program, argument, commandLine))
        return FALSE;
    return LaunchProcess(commandLine);
}

bool CLauncher::MakeModuleCommandLine(const char* modulePath, const char* program,
                                      const char* argument, CString& commandLine)
{
    if (!modulePath || !program || !*program) {
        TheLog().Error("CBrevikApp::LaunchModuleProgram: no module path or program name");
        return false;
    }
    const CString path(modulePath);
    // No file name holds a quote; one here could only end the quoted path early.
    if (path.Find('"') >= 0 || CString(program).Find('"') >= 0) {
        TheLog().Error("CBrevikApp::LaunchModuleProgram: quote in the program path");
        return false;
    }

    // The drive is "X:" at the start (so never longer than its limit); the
    // folder runs from there to the last separator, the separator included.
    const int driveLength = (path.GetLength() >= 2 && path[1] == ':') ? 2 : 0;
    int folderEnd = driveLength;
    for (int i = path.GetLength() - 1; i >= driveLength; --i) {
        if (IsSeparator(path[i])) {
            folderEnd = i + 1;
            break;
        }
    }
    if (folderEnd - driveLength > kMaxFolder) {
        TheLog().Error("CBrevikApp::LaunchModuleProgram: the module's folder is too long");
        return false;
    }

    commandLine.Format("\"%s%s\" %s", path.Left(folderEnd).GetString(), program,
                       argument ? argument : "");
    return true;
}

BOOL CLauncher::LaunchEditor(const char* modulePath)
{
    return LaunchModuleProgram(modulePath, "inkEdit.exe", "");
}
