// editorplayer.exe: the person at the template editor in the demo, for an
// editor that another program starts (the options page's "Edit..."). It
// sets a global hook whose library (editorplayerhook.dll, beside it) plays
// the script inside the editor once the editor's first dialog comes (see
// PlayerHook.cpp), prints what the user did and saw as it comes, and ends
// when the editor's main dialog is gone:
//
//   editorplayer --report FILE --done FILE [--shots DIR] [--timeout SECONDS] SCRIPT
//
// It prints "ready" once the hook is set, then the report's lines as they
// come ("template folder PATH" first), and makes the done file once it has
// printed the last (the program that started the editor may wait for it,
// and goes on only after the editor's story is told). The exit code is 0
// when the script was played whole, 1 when it was not, 2 for bad arguments
// or an editor that did not come and go within the timeout (default 120 s).
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <string>

#include <windows.h>

#include "classlib/win32/Handles.h"
#include "standins/editorplayer/PlayerSettings.h"

namespace {

void Say(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

bool Copy(wchar_t (&room)[MAX_PATH], const std::wstring& path)
{
    if (path.size() >= MAX_PATH)
        return false;
    wcscpy(room, path.c_str());
    return true;
}

// The report as it grows: whole lines only, each printed once.
class CReportTail {
public:
    explicit CReportTail(std::wstring path) : m_path(std::move(path)) {}

    void PrintNew()
    {
        std::ifstream file(m_path.c_str(), std::ios::binary);
        if (!file)
            return;
        file.seekg(static_cast<std::streamoff>(m_printed));
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            m_last = line;
            Say(line);
        }
        m_printed += start;
    }

    const std::string& Last() const { return m_last; }

private:
    std::wstring m_path;
    size_t m_printed = 0;
    std::string m_last;
};

// The global hook, let go at the end.
class CHook {
public:
    CHook() = default;
    CHook(const CHook&) = delete;
    CHook& operator=(const CHook&) = delete;
    ~CHook()
    {
        if (m_hook)
            UnhookWindowsHookEx(m_hook);
        if (m_library)
            FreeLibrary(m_library);
    }

    bool Set(const std::wstring& library)
    {
        m_library = LoadLibraryW(library.c_str());
        const auto proc = m_library ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
                                          GetProcAddress(m_library, "EditorPlayerHook")))
                                    : nullptr;
        m_hook = proc ? SetWindowsHookExW(WH_CBT, proc, m_library, 0) : nullptr;
        return m_hook != nullptr;
    }

private:
    HMODULE m_library = nullptr;
    HHOOK m_hook = nullptr;
};

std::wstring Beside(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring report, done, shots, script;
    DWORD timeoutMs = 120000;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool valued = i + 1 < argc;
        if (arg == L"--report" && valued)
            report = argv[++i];
        else if (arg == L"--done" && valued)
            done = argv[++i];
        else if (arg == L"--shots" && valued)
            shots = argv[++i];
        else if (arg == L"--timeout" && valued)
            timeoutMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10)) * 1000;
        else if (script.empty())
            script = arg;
        else
            return 2;
    }
    if (script.empty() || report.empty() || done.empty())
        return 2;

    editorplayer::Settings settings{};
    if (!Copy(settings.script, script) || !Copy(settings.report, report) ||
        !Copy(settings.shots, shots)) {
        Say("error a path is too long");
        return 2;
    }
    CKernelHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             sizeof settings, editorplayer::kSettingsName));
    void* view =
        mapping ? MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, sizeof settings) : nullptr;
    if (!view) {
        Say("error no shared memory for the hook's settings");
        return 2;
    }
    memcpy(view, &settings, sizeof settings);
    UnmapViewOfFile(view);
    DeleteFileW(report.c_str());
    DeleteFileW(done.c_str());

    CHook hook;
    if (!hook.Set(Beside(L"editorplayerhook.dll"))) {
        Say("error the hook cannot be set");
        return 2;
    }
    Say("ready");
    CReportTail tail(report);
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    int code = 2;
    for (;;) {
        tail.PrintNew();
        if (tail.Last() == editorplayer::kClosed || tail.Last() == editorplayer::kClosedEarly) {
            code = tail.Last() == editorplayer::kClosed ? 0 : 1;
            break;
        }
        if (GetTickCount64() >= until) {
            Say("error the editor did not come and go within the timeout");
            break;
        }
        // A program of the other width cannot load the hook's library: its
        // calls come to this thread as messages, which must be answered or
        // that program waits on each window it makes.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    // Also after a timeout: whoever waits goes on, and fails on its own.
    CFileHandle made(CreateFileW(done.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    return code;
}
