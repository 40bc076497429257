// CToolBar: a toolbar child of a window, docked at its top edge, made from a
// toolbar resource (button size, then one command id per button, 0 for a
// separator) and the bitmap of the same id, one picture per button that is
// no separator. With CBRS_TOOLTIPS its buttons ask the parent for their
// tooltip text (TTN_NEEDTEXT, the command id as idFrom).
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "classlib/ui/CImageList.h"
#include "classlib/ui/CWnd.h"

// The control-bar ids: the one toolbar of a window, and the range that
// RepositionBars lays out.
inline constexpr UINT AFX_IDW_TOOLBAR = 0xE800;
inline constexpr UINT AFX_IDW_CONTROLBAR_FIRST = 0xE800;
inline constexpr UINT AFX_IDW_CONTROLBAR_LAST = 0xE8FF;

// Bar styles given to CreateEx (only those the system uses).
inline constexpr DWORD CBRS_ALIGN_ANY = 0xF000;
inline constexpr DWORD CBRS_BORDER_BOTTOM = 0x0800;
inline constexpr DWORD CBRS_TOOLTIPS = 0x0010;
inline constexpr DWORD CBRS_FLYBY = 0x0020;

// The resource type of a toolbar's layout.
// (Its bitmap's light grey, RGB(192, 192, 192), is the pictures' background:
// it shows the button face, and a disabled button greys what is drawn on it.)
inline constexpr WORD kToolbarResourceType = 241;

class CToolBar : public CWnd {
public:
    CToolBar() = default;
    CToolBar(const CToolBar&) = delete;
    CToolBar& operator=(const CToolBar&) = delete;

    // The toolbar window as a child of parent: style holds WS_ and CBRS_
    // bits, toolbarStyle TBSTYLE_ bits. FALSE when it could not be made.
    BOOL CreateEx(HWND parent, DWORD toolbarStyle, DWORD style, UINT id = AFX_IDW_TOOLBAR);
    // Adds the buttons and pictures of toolbar resource id (module:
    // GetResourceModule). FALSE for a missing or malformed resource.
    BOOL LoadToolBar(UINT id);
    // Tooltips on or off (the toolbar was made with TBSTYLE_TOOLTIPS).
    void EnableToolTips(BOOL enable);
    BOOL EnableButton(UINT command, BOOL enable)
    {
        return static_cast<BOOL>(SendMessage(TB_ENABLEBUTTON, command, MAKELPARAM(enable, 0)));
    }
    BOOL IsButtonEnabled(UINT command) const
    {
        return static_cast<BOOL>(SendMessage(TB_ISBUTTONENABLED, command));
    }
    int GetButtonCount() const { return static_cast<int>(SendMessage(TB_BUTTONCOUNT)); }

    // The part of a command string ("status text\ntooltip") a tooltip shows:
    // what follows the first line feed, empty without one.
    static CString TipOf(const CString& commandString);

private:
    bool m_tooltips = false;
    CImageList m_pictures; // shown by the toolbar, not owned by it
};
