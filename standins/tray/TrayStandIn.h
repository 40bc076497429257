// CTrayStandIn: the shell's notification area, for tests on a desktop that
// has none (headless Wine). On a thread of its own it makes a window of class
// "Shell_TrayWnd" along the bottom of the screen, with a "TrayNotifyWnd"
// child holding a "TrayClockWClass" clock, and answers what Shell_NotifyIcon
// sends it (WM_COPYDATA) as the shell does. Like the shell it keeps the icons
// it has, by window and identifier, and refuses what the shell refuses: an
// add of an icon it has, a change or removal of one it does not have. Every
// call is recorded: the command (NIM_ADD, NIM_MODIFY, NIM_DELETE...), the
// icon, the texts it carried and whether it was taken.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <thread>
#include <vector>

#include <windows.h>

struct TrayCall {
    DWORD command = 0;
    DWORD size = 0;
    // The icon the call is about: its window (as the shell gets it, in 32
    // bits) and identifier.
    DWORD window = 0;
    UINT id = 0;
    // What the shell answered.
    bool accepted = false;
    // The texts of the record, as the shell gets them (tip, balloon, title).
    std::vector<std::string> texts;
    bool HasText(const std::string& text) const;
};

class CTrayStandIn {
public:
    // Where the stand-in's windows lie on the screen.
    static constexpr RECT kTaskbar = {0, 560, 800, 600};
    static constexpr RECT kNotify = {600, 564, 796, 596};
    static constexpr RECT kClock = {740, 566, 794, 594};

    CTrayStandIn() = default;
    CTrayStandIn(const CTrayStandIn&) = delete;
    CTrayStandIn& operator=(const CTrayStandIn&) = delete;
    ~CTrayStandIn() { Stop(); }

    // False when the windows could not be made.
    bool Start();
    // Ends the shell: its windows go, and with them every icon it had.
    void Stop();
    // A shell that ends and starts anew, knowing no icon, and tells every
    // window so ("TaskbarCreated"), as Explorer does after a crash.
    bool Restart();
    HWND Window() const { return m_tray; }

    std::vector<TrayCall> Calls() const;
    void ClearCalls();
    // Whether the icon of window and id is in the notification area now.
    bool HasIcon(HWND window, UINT id) const;
    // Tells every top-level window the taskbar was made anew, as a shell
    // that restarts does.
    void AnnounceRestart() const;

private:
    static LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Run();
    // Records the call and answers it as the shell would: TRUE when taken.
    BOOL Answer(const COPYDATASTRUCT& data);

    std::thread m_thread;
    HWND m_tray = nullptr;
    DWORD m_threadId = 0;
    HANDLE m_ready = nullptr;
    bool m_started = false;
    mutable std::mutex m_lock;
    std::vector<TrayCall> m_calls;
    std::set<std::pair<DWORD, UINT>> m_icons;
};
