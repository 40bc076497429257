// The person at the template editor, inside the editor's own process. The
// global hook that editorplayer.exe sets brings this library into every
// program of the desktop that makes a window; in the editor (and nowhere
// else) it starts the scripted user at the first dialog, since the
// scripted user plays on the dialogs of its own thread, and ends when that
// dialog, the editor's main one, is gone. Each step is told in the report;
// the last line says whether the script was played whole (kClosed), or not
// (kClosedEarly, after what went wrong).
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <windows.h>

#include "classlib/strings/CString.h"
#include "shared/config/Config.h"
#include "standins/editorplayer/EditorScript.h"
#include "standins/editorplayer/PlayerSettings.h"
#include "standins/scripteduser/ScriptedUser.h"

namespace {

bool g_inEditor = false;

// One session: the editor's first dialog, from its creation to its end.
class CSession {
public:
    explicit CSession(HWND dialog) : m_dialog(dialog) {}
    ~CSession()
    {
        if (m_report)
            fclose(m_report);
    }
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    HWND Dialog() const { return m_dialog; }

    void Begin()
    {
        if (!ReadSettings())
            return;
        m_report = _wfopen(m_settings.report, L"w");
        std::ifstream file(m_settings.script, std::ios::binary);
        std::ostringstream script;
        script << file.rdbuf();
        CScriptedUser::Limits limits;
        limits.idleMs = 3000;
        // The editor's dialogs never wait on the network: a step that stays
        // impossible is a fault, but the whole session may take a while.
        limits.deadlineMs = 5 * 60 * 1000;
        m_user = std::make_unique<CScriptedUser>(limits);
        m_user->SetNarrator([this](HWND, const std::string& what) {
            if (!what.empty())
                Tell("user " + what);
        });
        std::string error;
        const auto tell = [this](const std::string& line) { Tell(line); };
        if (!file || !editorplayer::QueueEditorScript(*m_user, script.str(), m_settings.shots, tell,
                                                      error)) {
            Tell("error " + (error.empty() ? std::string("cannot read the script") : error));
            m_user.reset();
            return;
        }
        CString folder;
        if (SUCCEEDED(CConfig().GetTemplateFolder(folder)))
            Tell("template folder " + folder.str());
        m_user->Start();
    }

    void End()
    {
        if (m_user) {
            m_user->Stop();
            const bool finished = m_user->Finished();
            if (!finished)
                Tell("error " + m_user->Report());
            Tell(finished ? editorplayer::kClosed : editorplayer::kClosedEarly);
            m_user.reset();
        }
        if (m_report) {
            fclose(m_report);
            m_report = nullptr;
        }
    }

private:
    bool ReadSettings()
    {
        HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, editorplayer::kSettingsName);
        if (!mapping)
            return false;
        const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof m_settings);
        if (view) {
            memcpy(&m_settings, view, sizeof m_settings);
            UnmapViewOfFile(view);
        }
        CloseHandle(mapping);
        // Each path ends within its room, whatever the block held.
        for (wchar_t* path : {m_settings.script, m_settings.report, m_settings.shots})
            path[MAX_PATH - 1] = L'\0';
        return view != nullptr;
    }

    void Tell(const std::string& line)
    {
        if (!m_report)
            return;
        fprintf(m_report, "%s\n", line.c_str());
        fflush(m_report);
    }

    HWND m_dialog;
    editorplayer::Settings m_settings{};
    FILE* m_report = nullptr;
    std::unique_ptr<CScriptedUser> m_user;
};

std::unique_ptr<CSession> g_session;
bool g_played = false; // one session a process

bool IsTopLevelDialog(HWND window, const CBT_CREATEWNDW* create)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return wcscmp(name, L"#32770") == 0 && create && create->lpcs &&
           !(create->lpcs->style & WS_CHILD);
}

bool IsEditor()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = path;
    for (DWORD i = 0; i < length; ++i) {
        if (path[i] == L'\\' || path[i] == L'/')
            name = path + i + 1;
    }
    return _wcsicmp(name, editorplayer::kEditorProgram) == 0;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    EditorPlayerHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (g_inEditor && code >= 0) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_CREATEWND && !g_played &&
            IsTopLevelDialog(window, reinterpret_cast<const CBT_CREATEWNDW*>(lParam))) {
            g_played = true;
            // The player's hook may go before the editor ends; the user's
            // timer must not lose its code then.
            HMODULE pinned = nullptr;
            GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_PIN,
                               reinterpret_cast<LPCWSTR>(&EditorPlayerHook), &pinned);
            g_session = std::make_unique<CSession>(window);
            g_session->Begin();
        } else if (code == HCBT_DESTROYWND && g_session && window == g_session->Dialog()) {
            g_session->End();
            g_session.reset();
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_inEditor = IsEditor();
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
