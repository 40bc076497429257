#include "editor/files/LaunchApp.h"

#include <cctype>
#include <vector>

#include "classlib/win32/CRegKey.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/Launcher.h"

namespace {

// What the registry may hold for a type name and a command: bounded reads,
// the text always ends within the buffer.
constexpr DWORD kFileTypeLimit = 64;
constexpr DWORD kCommandLimit = 512;
// The longest command line Windows starts (CreateProcess), which bounds a
// command once its variables are expanded.
constexpr DWORD kCommandLineLimit = 32767;

HRESULT Refuse(const char* why, HRESULT code)
{
    TheLog().Error(why);
    TheLog().Error("Exception thrown in LaunchApp");
    return code;
}

// A command stored as REG_EXPAND_SZ names its program through variables
// (Windows keeps Notepad's as "%SystemRoot%\system32\NOTEPAD.EXE %1").
// They are expanded as the shell does, before the path goes in, so nothing
// of the path is ever expanded. False when the expansion would not fit a
// command line.
bool ExpandVariables(CString& command)
{
    std::vector<char> expanded(kCommandLimit);
    DWORD needed =
        ExpandEnvironmentStringsA(command, expanded.data(), static_cast<DWORD>(expanded.size()));
    if (needed > expanded.size() && needed <= kCommandLineLimit) {
        expanded.resize(needed);
        needed = ExpandEnvironmentStringsA(command, expanded.data(),
                                           static_cast<DWORD>(expanded.size()));
    }
    if (needed == 0 || needed > expanded.size())
        return false;
    command = CString(expanded.data());
    return true;
}

// Every "%1" of the command replaced by the path. A "%1" outside quotes
// gets the path in quotes of its own, or a path with blanks (a user folder
// "C:\Users\Ann Archer") would reach the program as several arguments; one
// inside a quoted argument (such as "/open=%1" in quotes) is covered
// already. The path holds no quote, so the quotes of the command alone tell
// which is which.
CString InsertPath(const CString& command, const CString& path)
{
    CString line;
    bool quoted = false;
    for (int at = 0; at < command.GetLength(); ++at) {
        const char ch = command[at];
        if (ch == '%' && at + 1 < command.GetLength() && command[at + 1] == '1') {
            line += quoted ? path : "\"" + path + "\"";
            ++at;
            continue;
        }
        if (ch == '"')
            quoted = !quoted;
        line += ch;
    }
    return line;
}

} // namespace

bool IsDocumentExtension(const char* extension)
{
    if (!extension || !*extension)
        return false;
    CString lower;
    for (const char* at = extension; *at; ++at) {
        const unsigned char ch = static_cast<unsigned char>(*at);
        if (ch > 127 || !std::isalnum(ch))
            return false;
        lower += static_cast<char>(std::tolower(ch));
    }
    static const char* const kDocuments[] = {"pdf", "doc", "docx", "rtf", "txt",
                                             "odt", "ods", "xls",  "xlsx"};
    for (const char* known : kDocuments) {
        if (lower == known)
            return true;
    }
    return false;
}

HRESULT MakeLaunchCommand(const char* path, CString& commandLine)
{
    commandLine.Empty();
    if (!path || !*path)
        return Refuse("LaunchApp: no path", E_INVALIDARG);
    const CString file(path);
    const int dot = file.ReverseFind('.');
    const int slash = file.ReverseFind('\\');
    if (dot < 0 || dot < slash)
        return Refuse("LaunchApp: no extension", E_INVALIDARG);
    if (!IsDocumentExtension(file.Mid(dot + 1)))
        return Refuse("LaunchApp: not a document type", E_INVALIDARG);
    // A quote would end the quoted path early and start arguments of its own.
    if (file.Find('"') >= 0)
        return Refuse("LaunchApp: a quote in the path", E_INVALIDARG);

    CRegKey typeKey;
    if (typeKey.Open(HKEY_CLASSES_ROOT, file.Mid(dot), KEY_READ) != ERROR_SUCCESS)
        return Refuse("LaunchApp: file type not found", E_FAIL);
    CString fileType;
    if (typeKey.QueryText(nullptr, fileType, kFileTypeLimit) != ERROR_SUCCESS || fileType.IsEmpty())
        return Refuse("LaunchApp: missing file type value", E_FAIL);
    // The type name only ever names a key below it; "..\\" or a separator
    // at its start would reach elsewhere.
    if (fileType.Find("..") >= 0 || fileType[0] == '\\')
        return Refuse("LaunchApp: missing file type value", E_FAIL);
    CRegKey commandKey;
    if (commandKey.Open(HKEY_CLASSES_ROOT, fileType + "\\shell\\open\\command", KEY_READ) !=
        ERROR_SUCCESS)
        return Refuse("LaunchApp: open cmd not found", E_FAIL);
    CString command;
    DWORD type = REG_NONE;
    if (commandKey.QueryValue(nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS ||
        commandKey.QueryText(nullptr, command, kCommandLimit) != ERROR_SUCCESS || command.IsEmpty())
        return Refuse("LaunchApp: App not found", E_FAIL);

    TheLog().CommentFormat("LaunchApp: open command %s", command);
    if (type == REG_EXPAND_SZ && !ExpandVariables(command))
        return Refuse("LaunchApp: App not found", E_FAIL);
    if (command.Find("%1") >= 0)
        commandLine = InsertPath(command, file);
    else
        commandLine = command + " \"" + file + "\"";
    TheLog().CommentFormat("LaunchApp: command line %s", commandLine);
    return S_OK;
}

HRESULT LaunchApp(const char* path)
{
    CString commandLine;
    const HRESULT hr = MakeLaunchCommand(path, commandLine);
    if (FAILED(hr))
        return hr;
    CLauncher launcher;
    launcher.LaunchProcess(commandLine);
    return S_OK;
}
