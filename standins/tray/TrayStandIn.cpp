#include "standins/tray/TrayStandIn.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kTrayClass = "Shell_TrayWnd";
constexpr const char* kNotifyClass = "TrayNotifyWnd";
constexpr const char* kClockClass = "TrayClockWClass";
// What the shell's own record of a call starts with on Windows.
constexpr DWORD kWindowsSignature = 0x34753423;
// Where the icon's window and identifier lie in a record: on Windows after
// the signature, the command and the record's size; in Wine's own record
// first of all.
constexpr size_t kWindowsIconAt = 12;
constexpr size_t kWineIconAt = 0;

CTrayStandIn* g_running = nullptr;

void RegisterPlain(const char* name, WNDPROC procedure)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);
}

RECT Relative(const RECT& inner, const RECT& outer)
{
    return {inner.left - outer.left, inner.top - outer.top, inner.right - outer.left,
            inner.bottom - outer.top};
}

// The texts of a record, whichever width the system gave them: runs of
// printable UTF-16 units and of printable bytes, four characters or more.
std::vector<std::string> TextsOf(const unsigned char* bytes, size_t size)
{
    std::vector<std::string> texts;
    std::string run;
    auto flush = [&] {
        if (run.size() >= 4 && std::find(texts.begin(), texts.end(), run) == texts.end())
            texts.push_back(run);
        run.clear();
    };
    for (size_t i = 0; i + 1 < size; i += 2) {
        const unsigned unit = bytes[i] | (bytes[i + 1] << 8);
        if (unit >= 0x20 && unit < 0x100)
            run += static_cast<char>(unit);
        else
            flush();
    }
    flush();
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] >= 0x20 && bytes[i] < 0x7F)
            run += static_cast<char>(bytes[i]);
        else
            flush();
    }
    flush();
    return texts;
}

} // namespace

bool TrayCall::HasText(const std::string& text) const
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

bool CTrayStandIn::Start()
{
    if (m_started)
        return true;
    m_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_running = this;
    m_thread = std::thread([this] { Run(); });
    WaitForSingleObject(m_ready, 10000);
    CloseHandle(m_ready);
    m_ready = nullptr;
    m_started = m_tray != nullptr;
    return m_started;
}

void CTrayStandIn::Stop()
{
    if (m_thread.joinable()) {
        PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }
    m_started = false;
    m_tray = nullptr;
    if (g_running == this)
        g_running = nullptr;
    std::lock_guard<std::mutex> hold(m_lock);
    m_icons.clear();
}

void CTrayStandIn::Run()
{
    m_threadId = GetCurrentThreadId();
    RegisterPlain(kTrayClass, TrayProc);
    RegisterPlain(kNotifyClass, DefWindowProcA);
    RegisterPlain(kClockClass, DefWindowProcA);
    const RECT& bar = kTaskbar;
    m_tray = CreateWindowExA(WS_EX_TOOLWINDOW, kTrayClass, "", WS_POPUP, bar.left, bar.top,
                             bar.right - bar.left, bar.bottom - bar.top, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (m_tray) {
        const RECT notify = Relative(kNotify, kTaskbar);
        HWND area =
            CreateWindowExA(0, kNotifyClass, "", WS_CHILD | WS_VISIBLE, notify.left, notify.top,
                            notify.right - notify.left, notify.bottom - notify.top, m_tray, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
        const RECT clock = Relative(kClock, kNotify);
        CreateWindowExA(0, kClockClass, "", WS_CHILD | WS_VISIBLE, clock.left, clock.top,
                        clock.right - clock.left, clock.bottom - clock.top, area, nullptr,
                        GetModuleHandleA(nullptr), nullptr);
        ShowWindow(m_tray, SW_SHOWNOACTIVATE);
    }
    SetEvent(m_ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (m_tray)
        DestroyWindow(m_tray);
    UnregisterClassA(kClockClass, GetModuleHandleA(nullptr));
    UnregisterClassA(kNotifyClass, GetModuleHandleA(nullptr));
    UnregisterClassA(kTrayClass, GetModuleHandleA(nullptr));
}

LRESULT CALLBACK CTrayStandIn::TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA && g_running && lParam)
        return g_running->Answer(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL CTrayStandIn::Answer(const COPYDATASTRUCT& data)
{
    TrayCall call;
    const auto* bytes = static_cast<const unsigned char*>(data.lpData);
    call.size = data.cbData;
    // Windows' shell gets a signature and the command ahead of the record;
    // a shell of its own kind gets the command as the copy's number.
    DWORD first[2] = {};
    if (bytes && data.cbData >= sizeof first)
        memcpy(first, bytes, sizeof first);
    const bool windows = first[0] == kWindowsSignature;
    call.command = windows ? first[1] : static_cast<DWORD>(data.dwData);
    const size_t iconAt = windows ? kWindowsIconAt : kWineIconAt;
    if (bytes && data.cbData >= iconAt + sizeof call.window + sizeof call.id) {
        memcpy(&call.window, bytes + iconAt, sizeof call.window);
        memcpy(&call.id, bytes + iconAt + sizeof call.window, sizeof call.id);
    }
    if (bytes)
        call.texts = TextsOf(bytes, data.cbData);

    std::lock_guard<std::mutex> hold(m_lock);
    const std::pair<DWORD, UINT> icon{call.window, call.id};
    const bool known = m_icons.count(icon) != 0;
    switch (call.command) {
    case NIM_ADD:
        call.accepted = !known;
        if (call.accepted)
            m_icons.insert(icon);
        break;
    case NIM_DELETE:
        call.accepted = known;
        m_icons.erase(icon);
        break;
    default: // NIM_MODIFY, NIM_SETFOCUS, NIM_SETVERSION: an icon it has
        call.accepted = known;
        break;
    }
    m_calls.push_back(call);
    return call.accepted ? TRUE : FALSE;
}

std::vector<TrayCall> CTrayStandIn::Calls() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_calls;
}

void CTrayStandIn::ClearCalls()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_calls.clear();
}

bool CTrayStandIn::HasIcon(HWND window, UINT id) const
{
    const auto handle = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
    std::lock_guard<std::mutex> hold(m_lock);
    return m_icons.count({handle, id}) != 0;
}

bool CTrayStandIn::Restart()
{
    Stop();
    if (!Start())
        return false;
    AnnounceRestart();
    return true;
}

void CTrayStandIn::AnnounceRestart() const
{
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
}
