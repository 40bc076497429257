// Stands in for the programs the send road starts, the broadcast agent
// (copied beside the tests as inkProxy.exe) and the user's browser: it
// appends its command line, as one line, to the file that
// QUILLET_RECORDER_OUT names, and ends. One write per run, so a reader sees
// each line whole or not at all.
#include <string>
#include <windows.h>

#include "classlib/win32/Handles.h"

int main()
{
    char out[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableA("QUILLET_RECORDER_OUT", out, sizeof out);
    if (length == 0 || length >= sizeof out)
        return 2;
    const std::string line = std::string(GetCommandLineA()) + "\n";
    // Several runs may append at once: FILE_APPEND_DATA writes at the end
    // whatever the others wrote.
    CFileHandle file(CreateFileA(out, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 1;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return ok && written == line.size() ? 0 : 1;
}
