#include "agent/tray/SystemTray.h"

#include <cstddef>
#include <cstring>

#include "agent/AgentResource.h"
#include "classlib/app/CWinApp.h"
#include "classlib/ui/CWnd.h"
#include "shared/log/DebugLog.h"

namespace {

// The size of the record this system's shell has taken since balloons came:
// the fields up to and with the balloon's identity, without the balloon's
// own icon of later shells.
constexpr DWORD kRecordSize = offsetof(NOTIFYICONDATAA, hBalloonIcon);

// Where a clock lies this far above the notification area's bottom, the
// taskbar stands on its side.
constexpr int kVerticalClockMargin = 5;

HWND g_hiddenParent = nullptr;
HWND g_mainWindow = nullptr;

// Copies text into a fixed field, cut to fit with its closing zero.
template <size_t N>
void CopyField(char (&field)[N], const char* text)
{
    const size_t length = text ? strnlen(text, N - 1) : 0;
    if (length)
        memcpy(field, text, length);
    field[length] = '\0';
}

bool WindowAnimationOn()
{
    ANIMATIONINFO info{};
    info.cbSize = sizeof info;
    return SystemParametersInfoA(SPI_GETANIMATION, sizeof info, &info, 0) && info.iMinAnimate;
}

// The system's version as the shell reads it: major version in the low byte.
DWORD SystemVersion()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    if (!GetVersionExA(&version))
        return 0;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT ? version.dwMajorVersion : 0;
}

bool RegisterTrayClass()
{
    WNDCLASSA windowClass{};
    if (GetClassInfoA(GetModuleHandleA(nullptr), CSystemTray::kWindowClass, &windowClass))
        return true;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = CSystemTray::kWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

} // namespace

CSystemTray::CSystemTray()
{
    m_data.cbSize = kRecordSize;
    m_data.uID = kIconId;
    m_data.uCallbackMessage = kCallbackMessage;
    m_balloonsSupported = SystemVersion() > 4;
}

CSystemTray::~CSystemTray()
{
    RemoveIcon();
    if (m_hWnd) {
        HWND window = m_hWnd;
        UnsubclassWindow();
        ::DestroyWindow(window);
    }
}

void CSystemTray::SetMainWindow(HWND window)
{
    g_mainWindow = window;
}

HWND CSystemTray::MainWindow()
{
    return g_mainWindow;
}

UINT CSystemTray::AgentCreatedMessage()
{
    static const UINT message = RegisterWindowMessageA("bvkProxyAgentCreated");
    return message;
}

UINT CSystemTray::TaskbarCreatedMessage()
{
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

BOOL CSystemTray::Create(const char* tip, HICON icon, const char* balloonText,
                         const char* balloonTitle)
{
    m_enabled = (SystemVersion() & 0xFF) >= 4;
    if (!m_enabled)
        return FALSE;
    if (!m_hWnd) {
        const RECT none{};
        if (!RegisterTrayClass() || !CreateEx(0, kWindowClass, "", WS_POPUP, none, nullptr, 0)) {
            TheLog().Error("CSystemTray::Create: no tray window");
            return FALSE;
        }
    }
    m_data.hWnd = m_hWnd;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_data.hIcon = icon;
    CopyField(m_data.szTip, tip);
    const bool balloon = m_balloonsSupported && balloonText && *balloonText;
    if (balloon) {
        m_data.uFlags |= NIF_INFO;
        CopyField(m_data.szInfo, balloonText);
        CopyField(m_data.szInfoTitle, balloonTitle);
        m_data.uTimeout = kBalloonTimeoutMs;
        m_data.dwInfoFlags = NIIF_INFO;
    }
    m_addFlags = m_data.uFlags;
    const BOOL added = Shell_NotifyIconA(NIM_ADD, &m_data);
    m_hidden = !added;
    m_removed = false;
    if (balloon) {
        // Shown once: a later add or change of the icon must not bring it back.
        m_data.szInfo[0] = '\0';
        m_data.szInfoTitle[0] = '\0';
        m_data.uFlags &= ~NIF_INFO;
        m_addFlags &= ~NIF_INFO;
    }
    return added;
}

void CSystemTray::RemoveIcon()
{
    if (!m_enabled || m_removed)
        return;
    m_removed = true;
    // An icon the shell does not have (it never took it, or lost it as it
    // ended) is not asked for: the shell would only refuse.
    if (!m_hidden) {
        m_data.uFlags = 0;
        Shell_NotifyIconA(NIM_DELETE, &m_data);
    }
    m_hidden = true;
}

HWND CSystemTray::GetTargetWnd() const
{
    return m_target ? m_target : MainWindow();
}

void CSystemTray::ShowAgain()
{
    if (!m_enabled || m_removed)
        return;
    // The shell refuses an add of an icon it has and a change of one it has
    // not: after a change of the work area it still has the icon, a shell
    // that started anew has none, and which one this is nobody says. So the
    // icon is changed where it is there, and added where it is not.
    m_data.uFlags = m_addFlags;
    BOOL shown = Shell_NotifyIconA(NIM_MODIFY, &m_data);
    if (!shown)
        shown = Shell_NotifyIconA(NIM_ADD, &m_data);
    m_hidden = !shown;
}

LRESULT CSystemTray::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kCallbackMessage)
        return OnTrayNotification(wParam, lParam);
    if (message == AgentCreatedMessage() || message == TaskbarCreatedMessage()) {
        ShowAgain();
        return 0;
    }
    if (message == WM_SETTINGCHANGE && wParam == SPI_SETWORKAREA) {
        const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
        ShowAgain();
        return result;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

UINT CSystemTray::DefaultMenuCommand() const
{
    HMENU menu = LoadMenuA(GetResourceModule(), MAKEINTRESOURCEA(IDR_TRAY_MENU));
    if (!menu)
        return 0;
    UINT command = 0;
    if (HMENU popup = GetSubMenu(menu, 0))
        command = m_defaultByPosition ? GetMenuItemID(popup, static_cast<int>(m_defaultItem))
                                      : m_defaultItem;
    DestroyMenu(menu);
    return command == static_cast<UINT>(-1) ? 0 : command;
}

LRESULT CSystemTray::OnTrayNotification(WPARAM id, LPARAM event)
{
    if (id != m_data.uID)
        return 0;
    HWND target = GetTargetWnd();
    if (!target)
        return 0;
    switch (LOWORD(event)) {
    case WM_RBUTTONUP: {
        HMENU menu = LoadMenuA(GetResourceModule(), MAKEINTRESOURCEA(IDR_TRAY_MENU));
        if (!menu)
            return 0;
        if (HMENU popup = GetSubMenu(menu, 0)) {
            SetMenuDefaultItem(popup, m_defaultItem, m_defaultByPosition);
            CustomizeMenu(popup);
            POINT cursor{};
            GetCursorPos(&cursor);
            // The menu closes when the user clicks elsewhere only while its
            // owner is in the foreground; the null message afterwards lets a
            // second click open it again.
            ::SetForegroundWindow(target);
            TrackPopupMenu(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, 0, target, nullptr);
            ::PostMessageA(target, WM_NULL, 0, 0);
        }
        DestroyMenu(menu);
        return 1;
    }
    case WM_LBUTTONDBLCLK: {
        ::SetForegroundWindow(target);
        if (const UINT command = DefaultMenuCommand())
            ::PostMessageA(target, WM_COMMAND, command, 0);
        return 1;
    }
    default:
        return 0;
    }
}

HWND CSystemTray::HiddenParent()
{
    if (!g_hiddenParent || !::IsWindow(g_hiddenParent)) {
        if (!RegisterTrayClass())
            return nullptr;
        g_hiddenParent = CreateWindowExA(0, kWindowClass, "", WS_POPUP, CW_USEDEFAULT,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                         nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    return g_hiddenParent;
}

void CSystemTray::DestroyHiddenParent()
{
    if (g_hiddenParent)
        ::DestroyWindow(g_hiddenParent);
    g_hiddenParent = nullptr;
}

void CSystemTray::HideToTray(HWND window)
{
    if (!window)
        return;
    if (WindowAnimationOn()) {
        RECT from{};
        ::GetWindowRect(window, &from);
        const RECT to = GetTrayWndRect();
        ::DrawAnimatedRects(window, IDANI_CAPTION, &from, &to);
    }
    // A window owned by a hidden popup has no button on the taskbar.
    if (HWND parent = HiddenParent())
        ::SetWindowLongPtrA(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(parent));
    ::ShowWindow(window, SW_HIDE);
}

void CSystemTray::RestoreFromTray(HWND window)
{
    if (!window)
        return;
    if (WindowAnimationOn()) {
        RECT to{};
        ::GetWindowRect(window, &to);
        const RECT from = GetTrayWndRect();
        ::SetWindowLongPtrA(window, GWLP_HWNDPARENT, 0);
        ::DrawAnimatedRects(window, IDANI_CAPTION, &from, &to);
    } else {
        ::SetWindowLongPtrA(window, GWLP_HWNDPARENT, 0);
    }
    ::ShowWindow(window, SW_SHOW);
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    if (g_hiddenParent && ::IsWindow(g_hiddenParent))
        ::SetActiveWindow(g_hiddenParent);
    ::SetActiveWindow(window);
    ::SetForegroundWindow(window);
}

namespace {

struct TrayWalk {
    RECT rect;
};

BOOL CALLBACK WalkTrayChild(HWND child, LPARAM context)
{
    auto& walk = *reinterpret_cast<TrayWalk*>(context);
    char name[64] = {};
    GetClassNameA(child, name, sizeof name);
    if (strcmp(name, "TrayNotifyWnd") == 0) {
        ::GetWindowRect(child, &walk.rect);
        return TRUE;
    }
    if (strcmp(name, "TrayClockWClass") != 0)
        return TRUE;
    RECT clock{};
    ::GetWindowRect(child, &clock);
    if (clock.bottom < walk.rect.bottom - kVerticalClockMargin)
        walk.rect.top = clock.bottom;
    else
        walk.rect.right = clock.left;
    return FALSE;
}

} // namespace

RECT CSystemTray::GetTrayWndRect()
{
    if (HWND tray = FindWindowA("Shell_TrayWnd", nullptr)) {
        TrayWalk walk{};
        ::GetWindowRect(tray, &walk.rect);
        EnumChildWindows(tray, WalkTrayChild, reinterpret_cast<LPARAM>(&walk));
        return walk.rect;
    }
    RECT rect{};
    APPBARDATA bar{};
    bar.cbSize = sizeof bar;
    if (SHAppBarMessage(ABM_GETTASKBARPOS, &bar)) {
        rect = bar.rc;
        if (bar.uEdge == ABE_LEFT || bar.uEdge == ABE_RIGHT) {
            rect.top = bar.rc.bottom - 100;
            rect.bottom = bar.rc.bottom - 16;
        } else {
            rect.left = bar.rc.right - 100;
            rect.right = bar.rc.right - 16;
        }
        return rect;
    }
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return {work.right - 150, work.bottom - 30, work.right, work.bottom};
}
