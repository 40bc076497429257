#include "standins/editorplayer/EditorScript.h"

#include <cctype>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>

#include "standins/outlook/host/Snapshot.h"
#include "standins/scripteduser/ScriptedUser.h"

namespace editorplayer {
namespace {

// The common open-file dialog's file name box: a combo box whose edit takes
// the name, or (in the older layout) an edit of its own.
constexpr int kFileNameCombo = 0x47c;
constexpr int kFileNameEdit = 0x480;

// Words of a line: blanks part them, double quotes keep them together (\"
// and \\ inside).
std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && isspace(static_cast<unsigned char>(line[at])))
            ++at;
        if (at >= line.size() || line[at] == '#')
            break;
        std::string word;
        if (line[at] == '"') {
            for (++at; at < line.size() && line[at] != '"'; ++at) {
                if (line[at] == '\\' && at + 1 < line.size())
                    ++at;
                word += line[at];
            }
            ++at;
        } else {
            while (at < line.size() && !isspace(static_cast<unsigned char>(line[at])))
                word += line[at++];
        }
        words.push_back(word);
    }
    return words;
}

std::string Narrow(const std::wstring& text)
{
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(length > 0 ? length : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow.data(), length, nullptr, nullptr);
    narrow.resize(length > 0 ? length - 1 : 0);
    return narrow;
}

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length - 1 : 0);
    return wide;
}

// The toolbar button's name, as its tooltip shows it: the command's string
// is "description\nname".
std::string ToolName(int command)
{
    char tip[256] = {};
    LoadStringA(GetModuleHandleA(nullptr), command, tip, sizeof tip);
    const char* name = strchr(tip, '\n');
    return name ? name + 1 : tip;
}

} // namespace

bool QueueEditorScript(CScriptedUser& user, const std::string& script, const std::wstring& shots,
                       const Teller& tell, std::string& error)
{
    std::istringstream lines(script);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        const std::vector<std::string> w = Split(line);
        if (w.empty())
            continue;
        const std::string& command = w[0];
        const auto need = [&](size_t count) {
            if (w.size() != count)
                throw std::runtime_error("line " + std::to_string(number) + ": " + command +
                                         " takes " + std::to_string(count - 1) + " words");
        };
        const auto id = [&](size_t at) { return std::stoi(w[at], nullptr, 0); };
        try {
            if (command == "expect") {
                need(2);
                user.Expect(w[1]);
            } else if (command == "type") {
                need(3);
                user.Type(id(1), w[2]);
            } else if (command == "press") {
                need(2);
                user.Click(id(1));
            } else if (command == "check") {
                need(3);
                user.Check(id(1), w[2] == "on");
            } else if (command == "pick-row") {
                need(3);
                user.PickListRow(id(1), id(2));
            } else if (command == "pick-item") {
                need(3);
                user.PickComboItem(id(1), w[2]);
            } else if (command == "answer") {
                need(2);
                user.AnswerMessageBox(id(1));
            } else if (command == "close-dialog") {
                user.Close();
            } else if (command == "tool") {
                need(2);
                const int tool = id(1);
                user.Do("", [tool, tell](HWND dialog) {
                    HWND bar = FindWindowExA(dialog, nullptr, TOOLBARCLASSNAMEA, nullptr);
                    if (!bar || !SendMessageA(bar, TB_ISBUTTONENABLED, tool, 0))
                        return false;
                    tell("user clicks the toolbar's " + ToolName(tool));
                    // Posted as a click arrives: the command may open a dialog.
                    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(tool, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(bar));
                    return true;
                });
            } else if (command == "file") {
                need(3);
                const std::string path = w[2];
                user.Expect(w[1]).Do("", [path, tell](HWND dialog) {
                    HWND box = GetDlgItem(dialog, kFileNameCombo);
                    HWND edit = box ? FindWindowExA(box, nullptr, "Edit", nullptr)
                                    : GetDlgItem(dialog, kFileNameEdit);
                    if (!edit)
                        edit = box; // the combo box passes its text on to its edit
                    if (!edit)
                        return false;
                    tell("user picks the file " + path);
                    SetWindowTextW(edit, Wide(path).c_str());
                    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
                    return true;
                });
            } else if (command == "shot") {
                need(2);
                if (shots.empty())
                    continue;
                const std::wstring picture = shots + L"\\" + Wide(w[1]) + L".png";
                user.Do("", [picture, tell](HWND dialog) {
                    std::wstring why;
                    if (host::SaveWindowPicture(dialog, picture, why))
                        tell("picture " + Narrow(picture));
                    else
                        tell("error picture: " + Narrow(why));
                    return true;
                });
            } else {
                error = "line " + std::to_string(number) + ": unknown command " + command;
                return false;
            }
        } catch (const std::exception& failure) {
            error = failure.what();
            return false;
        }
    }
    return true;
}

} // namespace editorplayer
