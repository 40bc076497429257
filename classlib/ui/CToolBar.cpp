#include "classlib/ui/CToolBar.h"
#include "classlib/ui/ScreenDpi.h"

#include <vector>

#include "classlib/ui/CommonControls.h"

BOOL CToolBar::CreateEx(HWND parent, DWORD toolbarStyle, DWORD style, UINT id)
{
    InitCommonControlsOnce();
    m_tooltips = (style & CBRS_TOOLTIPS) != 0;
    // The bar styles are ours; the window gets its WS_ bits and the toolbar
    // control's own.
    DWORD windowStyle = (style & 0xFFFF0000) | WS_CHILD | CCS_TOP | toolbarStyle;
    if (m_tooltips)
        windowStyle |= TBSTYLE_TOOLTIPS;
    if (!(style & CBRS_BORDER_BOTTOM))
        windowStyle |= CCS_NODIVIDER;
    HWND bar = ::CreateWindowExA(0, TOOLBARCLASSNAMEA, "", windowStyle, 0, 0, 0, 0, parent,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                 GetResourceModule(), nullptr);
    if (!bar)
        return FALSE;
    Attach(bar);
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    return TRUE;
}

BOOL CToolBar::LoadToolBar(UINT id)
{
    if (!m_hWnd)
        return FALSE;
    HINSTANCE module = GetResourceModule();
    HRSRC found =
        FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(kToolbarResourceType));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* words = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    // Version 1, width, height, count, then count command ids.
    if (!words || size < 4 * sizeof(WORD) || words[0] != 1 || size < (4u + words[3]) * sizeof(WORD))
        return FALSE;
    const WORD width = words[1];
    const WORD height = words[2];
    const WORD count = words[3];

    std::vector<TBBUTTON> buttons;
    int pictures = 0;
    for (WORD i = 0; i < count; ++i) {
        TBBUTTON button{};
        button.idCommand = words[4 + i];
        if (button.idCommand == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = pictures++;
            button.fsStyle = BTNS_BUTTON;
            button.fsState = TBSTATE_ENABLED;
        }
        buttons.push_back(button);
    }
    // The pictures are drawn for 96 DPI; they and the buttons grow with the
    // screen's DPI, as the dialog around them does.
    const int dpi = ScreenDpi();
    const int shownWidth = ScaleForDpi(width, dpi);
    const int shownHeight = ScaleForDpi(height, dpi);
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(shownWidth, shownHeight));
    SendMessage(TB_SETBUTTONSIZE, 0,
                MAKELPARAM(shownWidth + ScaleForDpi(7, dpi), shownHeight + ScaleForDpi(7, dpi)));
    // Masked by the background colour, so that disabled buttons show their
    // pictures greyed rather than grey squares.
    m_pictures.Reset(LoadImageStripForDpi(module, id, width, RGB(192, 192, 192), dpi));
    if (!m_pictures || ImageList_GetImageCount(m_pictures.Get()) < pictures)
        return FALSE;
    SendMessage(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_pictures.Get()));
    if (!SendMessage(TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())))
        return FALSE;
    SendMessage(TB_AUTOSIZE);
    return TRUE;
}

void CToolBar::EnableToolTips(BOOL enable)
{
    HWND tips = reinterpret_cast<HWND>(SendMessage(TB_GETTOOLTIPS));
    if (tips)
        ::SendMessageA(tips, TTM_ACTIVATE, enable && m_tooltips, 0);
}

CString CToolBar::TipOf(const CString& commandString)
{
    const int lineFeed = commandString.Find('\n');
    return lineFeed < 0 ? CString() : commandString.Mid(lineFeed + 1);
}
