// Started by the launcher's tests: reports which program ran, the command
// line it was given and the folder it started in, one per line, into the
// file that QUILLET_PROBE_OUT names. The report appears whole or not at all.
#include <string>
#include <windows.h>

#include "classlib/win32/Handles.h"

int main()
{
    char out[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableA("QUILLET_PROBE_OUT", out, sizeof out);
    if (length == 0 || length >= sizeof out)
        return 2;
    char self[MAX_PATH * 2];
    DWORD selfLength = GetModuleFileNameA(nullptr, self, sizeof self);
    char folder[MAX_PATH * 2];
    DWORD folderLength = GetCurrentDirectoryA(sizeof folder, folder);

    std::string report = std::string(self, selfLength) + "\n" + GetCommandLineA() + "\n" +
                         std::string(folder, folderLength) + "\n";
    const std::string partial = std::string(out) + ".part";
    CFileHandle file(CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 1;
    DWORD written = 0;
    BOOL ok =
        WriteFile(file.Get(), report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
    file.Reset();
    if (!ok || written != report.size() || !MoveFileA(partial.c_str(), out))
        return 1;
    return 0;
}
