// CTrayStandIn: the shell's notification area, for tests on a desktop that
// has none (headless Wine). On a thread of its own it makes a window of class
// "Shell_TrayWnd" along the bottom of the screen, with a "TrayNotifyWnd"
// child holding a "TrayClockWClass" clock, and answers what Shell_NotifyIcon
// sends it (WM_COPYDATA) as the shell does: yes. Every call is recorded: the
// command (NIM_ADD, NIM_MODIFY, NIM_DELETE...) and the texts it carried.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

struct TrayCall {
    DWORD command = 0;
    DWORD size = 0;
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
    void Stop();
    HWND Window() const { return m_tray; }

    std::vector<TrayCall> Calls() const;
    void ClearCalls();
    // Tells every top-level window the taskbar was made anew, as a shell
    // that restarts does.
    void AnnounceRestart() const;

private:
    static LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Run();
    void Record(const COPYDATASTRUCT& data);

    std::thread m_thread;
    HWND m_tray = nullptr;
    DWORD m_threadId = 0;
    HANDLE m_ready = nullptr;
    bool m_started = false;
    mutable std::mutex m_lock;
    std::vector<TrayCall> m_calls;
};
