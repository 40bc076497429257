#include "editor/files/LaunchApp.h"

#include <cctype>

#include "classlib/win32/CRegKey.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/Launcher.h"

namespace {

// What the registry may hold for a type name and a command: bounded reads,
// the text always ends within the buffer.
constexpr DWORD kFileTypeLimit = 64;
constexpr DWORD kCommandLimit = 512;

HRESULT Refuse(const char* why, HRESULT code)
{
    TheLog().Error(why);
    TheLog().Error("Exception thrown in LaunchApp");
    return code;
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
    if (commandKey.QueryText(nullptr, command, kCommandLimit) != ERROR_SUCCESS || command.IsEmpty())
        return Refuse("LaunchApp: App not found", E_FAIL);

    TheLog().CommentFormat("LaunchApp: open command %s", command);
    if (command.Find("%1") >= 0) {
        command.Replace("%1", file);
        commandLine = command;
    } else {
        commandLine = command + " \"" + file + "\"";
    }
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
