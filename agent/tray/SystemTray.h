// CSystemTray: the agent's icon in the notification area. A hidden window
// owns the icon, takes its mouse notifications and turns them into the
// dialog's commands (the tray menu, a double-click for "&Open..."), and
// shows the icon again when the shell comes back ("TaskbarCreated", the
// agent's own "bvkProxyAgentCreated") or the work area changes. It also
// hides a window to the tray and brings it back, drawing the caption's
// flight when the user has window animation on.
//
// The icon belongs in the notification area from Create to RemoveIcon,
// whatever the shell answered on the way: a shell that was not there, or
// that refused, gets it when it next announces itself.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "classlib/strings/CString.h"
#include "classlib/ui/CWnd.h"

class CSystemTray : public CWnd {
public:
    static constexpr UINT kIconId = 132;
    static constexpr UINT kCallbackMessage = WM_APP + 10;
    static constexpr DWORD kBalloonTimeoutMs = 10000;
    // What the record's fields hold, their closing zero aside.
    static constexpr int kMaxTip = 127;
    static constexpr int kMaxBalloon = 255;
    static constexpr int kMaxBalloonTitle = 63;
    // The window class of the tray window.
    static constexpr const char* kWindowClass = "InkProxyTrayWnd";

    CSystemTray();
    CSystemTray(const CSystemTray&) = delete;
    CSystemTray& operator=(const CSystemTray&) = delete;
    // Removes the icon and destroys the window.
    ~CSystemTray() override;

    // Makes the tray window and adds the icon with its tip and, where the
    // system shows balloons and a text is given, a balloon shown this once.
    // FALSE when the system has no notification area or the icon could not
    // be added now.
    BOOL Create(const char* tip, HICON icon, const char* balloonText, const char* balloonTitle);
    // Takes the icon out of the notification area for good (again harmless).
    void RemoveIcon();

    // The program's main window (the agent's dialog), for the tray's
    // commands when no other target is set.
    static void SetMainWindow(HWND window);
    static HWND MainWindow();
    // Where the mouse's commands go; null: the program's main window.
    void SetTargetWnd(HWND target) { m_target = target; }
    HWND GetTargetWnd() const;

    // The icon is not in the notification area (as the shell last answered).
    bool IsHidden() const { return m_hidden; }
    // The icon was taken out for good, or never made.
    bool IsRemoved() const { return m_removed; }
    const NOTIFYICONDATAA& GetIconData() const { return m_data; }

    // Hides window to the tray (out of the taskbar too) and brings it back.
    static void HideToTray(HWND window);
    static void RestoreFromTray(HWND window);
    // Where the tray's icons are on screen, as the animation flies to it.
    static RECT GetTrayWndRect();
    // The popup that a window hidden to the tray takes as its parent; made on
    // first use, destroyed at exit.
    static HWND HiddenParent();
    static void DestroyHiddenParent();

    // The agent's own message for adding the icon again; registered at
    // start-up.
    static UINT AgentCreatedMessage();
    // The shell's message when the taskbar has been made (again).
    static UINT TaskbarCreatedMessage();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The menu just before it is shown; nothing is changed here.
    virtual void CustomizeMenu(HMENU) {}

private:
    LRESULT OnTrayNotification(WPARAM id, LPARAM event);
    // Puts the icon where it belongs again, with the flags it was first
    // added with (never the balloon, which the record no longer holds).
    void ShowAgain();
    UINT DefaultMenuCommand() const;

    NOTIFYICONDATAA m_data{};
    bool m_enabled = false;
    bool m_hidden = true;
    bool m_removed = true;
    bool m_balloonsSupported = false;
    HWND m_target = nullptr;
    UINT m_defaultItem = 0;
    bool m_defaultByPosition = true;
    UINT m_addFlags = 0;
};
