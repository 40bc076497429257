// editorplayer: the template editor with a person at it, for the main job's
// story. It runs the editor exactly as inkEdit.exe does (its application
// object and main dialog, from the same library and resources) while the
// scripted user plays the script's steps on its dialogs, and tells what the
// user did and saw:
//
//   editorplayer [--report FILE] [--shots DIR] SCRIPT
//
// The script has one step a line, as the Outlook stand-in's dialog steps
// (standins/outlook/README.md): expect "caption", type id "text", press id,
// check id on|off, pick-row id n, pick-item id "text", answer id,
// close-dialog, shot "name"; and two of the editor's own: tool id (clicks
// the toolbar button with that command once it is enabled) and file
// "caption" "path" (picks the file in an open-file dialog). The report
// starts with "template folder PATH". The exit code is 0 when the script
// was played whole, 1 when it was not, 2 for bad arguments.
#include <cstdio>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <ole2.h>

#include "classlib/strings/CString.h"
#include "editor/app/EditApp.h"
#include "shared/config/CfgBase.h"
#include "shared/config/Config.h"
#include "standins/outlook/host/Snapshot.h"
#include "standins/scripteduser/ScriptedUser.h"

namespace {

FILE* g_report = nullptr;

void Tell(const std::string& line)
{
    printf("%s\n", line.c_str());
    fflush(stdout);
    if (g_report) {
        fprintf(g_report, "%s\n", line.c_str());
        fflush(g_report);
    }
}

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

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length - 1 : 0);
    return wide;
}

// Queues the script's steps; false with the line that does not parse.
bool Queue(CScriptedUser& user, const std::string& script, const std::string& shots,
           std::string& error)
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
                user.Do("", [tool](HWND dialog) {
                    HWND bar = FindWindowExA(dialog, nullptr, TOOLBARCLASSNAMEA, nullptr);
                    if (!bar || !SendMessageA(bar, TB_ISBUTTONENABLED, tool, 0))
                        return false;
                    char tip[256] = {};
                    LoadStringA(GetModuleHandleA(nullptr), tool, tip, sizeof tip);
                    const char* name = strchr(tip, '\n');
                    Tell("user clicks the toolbar's " + std::string(name ? name + 1 : tip));
                    // Posted as a click arrives: the command may open a dialog.
                    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(tool, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(bar));
                    return true;
                });
            } else if (command == "file") {
                need(3);
                const std::string path = w[2];
                user.Expect(w[1]).Do("", [path](HWND dialog) {
                    HWND box = GetDlgItem(dialog, 0x47c);
                    HWND edit = box ? FindWindowExA(box, nullptr, "Edit", nullptr)
                                    : GetDlgItem(dialog, 0x480);
                    if (!edit)
                        edit = box; // the combo box passes its text on to its edit
                    if (!edit)
                        return false;
                    Tell("user picks the file " + path);
                    SetWindowTextA(edit, path.c_str());
                    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
                    return true;
                });
            } else if (command == "shot") {
                need(2);
                if (shots.empty())
                    continue;
                const std::wstring picture = Wide(shots + "\\" + w[1] + ".png");
                user.Do("", [picture](HWND dialog) {
                    std::wstring why;
                    if (host::SaveWindowPicture(dialog, picture, why))
                        Tell("picture " + std::string(picture.begin(), picture.end()));
                    else
                        Tell("error picture: " + std::string(why.begin(), why.end()));
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

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    std::string report;
    std::string shots;
    std::string scriptPath;
    for (int i = 1; i < __argc; ++i) {
        const std::string arg = __argv[i];
        if (arg == "--report" && i + 1 < __argc)
            report = __argv[++i];
        else if (arg == "--shots" && i + 1 < __argc)
            shots = __argv[++i];
        else if (scriptPath.empty())
            scriptPath = arg;
        else
            return 2;
    }
    if (scriptPath.empty())
        return 2;
    if (!report.empty())
        g_report = fopen(report.c_str(), "w");
    std::ifstream file(scriptPath, std::ios::binary);
    std::ostringstream script;
    script << file.rdbuf();

    SetResourceModule(instance);
    CurrentServiceHost() = kBuiltInServiceHost;
    CScriptedUser::Limits limits;
    limits.idleMs = 3000;
    CScriptedUser user(limits);
    user.SetNarrator([](HWND, const std::string& what) {
        if (!what.empty())
            Tell("user " + what);
    });
    std::string error;
    if (!file || !Queue(user, script.str(), shots, error)) {
        Tell("error " + (error.empty() ? "cannot read " + scriptPath : error));
        return 1;
    }
    {
        CConfig config;
        CString folder;
        if (SUCCEEDED(config.GetTemplateFolder(folder)))
            Tell("template folder " + folder.str());
    }

    OleInitialize(nullptr);
    {
        CEditApp app;
        app.SetInstance(instance);
        user.Start();
        app.InitInstance();
        user.Stop();
        AfxSetApp(nullptr);
    }
    OleUninitialize();
    const bool finished = user.Finished();
    if (!finished)
        Tell("error " + user.Report());
    Tell(finished ? "editor closed" : "editor closed early");
    if (g_report)
        fclose(g_report);
    return finished ? 0 : 1;
}
