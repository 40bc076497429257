#include "shared/outlook/ShellCommand.h"

#include <cstring>
#include <shlwapi.h>
#include <string_view>
#include <vector>

namespace {

CString Expanded(const CString& text)
{
    const DWORD needed = ExpandEnvironmentStringsA(text, nullptr, 0);
    if (needed == 0)
        return text;
    std::vector<char> buffer(needed + 1, '\0');
    if (ExpandEnvironmentStringsA(text, buffer.data(), needed + 1) == 0)
        return text;
    return CString(buffer.data());
}

// A program path that starts the command unquoted ends at the first ".exe"
// that a blank or the end follows; one with a blank in it gets quotes.
CString WithProgramQuoted(const CString& command)
{
    const char* text = command.GetString();
    if (*text == '"')
        return command;
    const size_t length = std::strlen(text);
    for (size_t at = 0; at + 4 <= length; ++at) {
        if (StrCmpNIA(text + at, ".exe", 4) != 0)
            continue;
        const size_t end = at + 4;
        if (end != length && text[end] != ' ' && text[end] != '\t')
            continue;
        const CString program(std::string_view(text, end));
        if (program.Find(' ') < 0 && program.Find('\t') < 0)
            return command;
        return "\"" + program + "\"" + CString(text + end);
    }
    return command;
}

} // namespace

CString ShellCommandLine(const CString& registered, DWORD type, const char* argument)
{
    CString command = type == REG_EXPAND_SZ ? Expanded(registered) : registered;
    command = WithProgramQuoted(command);
    const CString quoted = "\"" + CString(argument ? argument : "") + "\"";
    if (command.Find("%1") < 0)
        return command + " " + quoted;
    // A "%1" the command quotes already takes the argument's own quotes.
    command.Replace("\"%1\"", "%1");
    command.Replace("%1", quoted);
    return command;
}

bool IsBrowsableLink(const char* link)
{
    if (!link)
        return false;
    if (StrCmpNIA(link, "https://", 8) != 0 && StrCmpNIA(link, "http://", 7) != 0)
        return false;
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(link); *at; ++at) {
        if (*at < 0x20 || *at == 0x7f || *at == '"' || *at == ' ')
            return false;
    }
    return true;
}
