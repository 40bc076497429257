#include "tests/support/LinuxProcess.h"

#include <windows.h>

namespace linuxprocess {

namespace {

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Quoted(const std::string& argument)
{
    return "\"" + argument + "\"";
}

} // namespace

std::string DosPathOf(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string UnixPathOf(const std::string& dosPath)
{
    using WineUnixName = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<WineUnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return {};
    int size = MultiByteToWideChar(CP_ACP, 0, dosPath.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, dosPath.c_str(), -1, wide.data(), size);
    char* unixName = toUnix(wide.c_str());
    if (!unixName)
        return {};
    std::string result = unixName;
    HeapFree(GetProcessHeap(), 0, unixName);
    return result;
}

std::string PythonPath()
{
    char configured[MAX_PATH] = {};
    if (GetEnvironmentVariableA("QUILLET_PYTHON", configured, sizeof configured) > 0)
        return configured;
    for (const char* candidate : {"Z:\\usr\\bin\\python3", "Z:\\usr\\local\\bin\\python3"})
        if (FileExists(candidate))
            return candidate;
    return {};
}

bool Start(const std::vector<std::string>& arguments, std::string* error)
{
    std::string command;
    for (const std::string& argument : arguments)
        command += (command.empty() ? "" : " ") + Quoted(argument);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // CreateProcess may write into the command line.
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        if (error)
            *error = "cannot start " + command + ": error " + std::to_string(GetLastError());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace linuxprocess
