#include "classlib/ui/CStatusBar.h"

#include <commctrl.h>

#include "classlib/ui/CommonControls.h"
#include "classlib/win32/Gdi.h"

namespace {
// The high word of a style is the window's (WS_*); the low word the control's.
constexpr DWORD kWindowStyles = 0xFFFF0000;
} // namespace

BOOL CStatusBar::Create(HWND parent, DWORD style, UINT id)
{
    InitCommonControlsOnce();
    // Keep the window styles; the bar's own placement bits mean nothing to
    // the status window class, which docks at the bottom by itself.
    DWORD windowStyle = (style & kWindowStyles) | CCS_BOTTOM;
    HWND hwnd = ::CreateWindowExA(0, STATUSCLASSNAMEA, "", windowStyle, 0, 0, 0, 0, parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                  ::GetModuleHandleA(nullptr), nullptr);
    if (!hwnd)
        return FALSE;
    Attach(hwnd);
    m_panes.assign(1, Pane{0, SBPS_STRETCH, 0, CString()});
    Layout();
    return TRUE;
}

BOOL CStatusBar::SetIndicators(const UINT* ids, int count)
{
    if (!m_hWnd || count <= 0)
        return FALSE;
    m_panes.assign(count, Pane{});
    CWindowDC dc(m_hWnd);
    CDCSelection font(dc.Get(), reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
    for (int i = 0; i < count; ++i) {
        Pane& pane = m_panes[i];
        pane.id = ids ? ids[i] : 0;
        if (pane.id)
            pane.text.LoadString(pane.id);
        SIZE extent{};
        ::GetTextExtentPoint32A(dc.Get(), pane.text, pane.text.GetLength(), &extent);
        pane.width = extent.cx;
    }
    m_panes.back().style = SBPS_STRETCH;
    Layout();
    for (int i = 0; i < count; ++i)
        ShowText(i);
    return TRUE;
}

void CStatusBar::SetPaneInfo(int index, UINT id, UINT style, int width)
{
    if (!Valid(index))
        return;
    Pane& pane = m_panes[index];
    pane.id = id;
    pane.style = style;
    pane.width = width;
    Layout();
    ShowText(index);
}

void CStatusBar::GetPaneInfo(int index, UINT& id, UINT& style, int& width) const
{
    if (!Valid(index)) {
        id = 0;
        style = 0;
        width = 0;
        return;
    }
    id = m_panes[index].id;
    style = m_panes[index].style;
    width = m_panes[index].width;
}

int CStatusBar::CommandToIndex(UINT id) const
{
    for (int i = 0; i < GetCount(); ++i) {
        if (m_panes[i].id == id)
            return i;
    }
    return -1;
}

BOOL CStatusBar::SetPaneText(int index, const char* text, BOOL update)
{
    if (!Valid(index))
        return FALSE;
    m_panes[index].text = text;
    ShowText(index);
    if (update) {
        RECT rect{};
        GetItemRect(index, &rect);
        ::InvalidateRect(m_hWnd, &rect, TRUE);
        ::UpdateWindow(m_hWnd);
    }
    return TRUE;
}

CString CStatusBar::GetPaneText(int index) const
{
    return Valid(index) ? m_panes[index].text : CString();
}

void CStatusBar::GetItemRect(int index, RECT* rect) const
{
    *rect = RECT{};
    if (!Valid(index) || !m_hWnd)
        return;
    if (!SendMessage(SB_GETRECT, index, reinterpret_cast<LPARAM>(rect)))
        *rect = RECT{};
}

void CStatusBar::Layout()
{
    if (!m_hWnd || m_panes.empty())
        return;
    SendMessage(WM_SIZE);
    RECT client{};
    GetClientRect(&client);
    // The pane widths are of their contents; the borders between panes
    // (SB_GETBORDERS: horizontal, vertical, between) come on top.
    int borders[3] = {};
    SendMessage(SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
    int gap = borders[2];
    int fixed = borders[0];
    int stretching = 0;
    for (const Pane& pane : m_panes) {
        if (pane.style & SBPS_STRETCH)
            ++stretching;
        else
            fixed += pane.width + gap + 2 * borders[0];
    }
    int spare = client.right - client.left - fixed;
    int share = stretching && spare > 0 ? spare / stretching : 0;
    std::vector<int> edges;
    int edge = 0;
    for (const Pane& pane : m_panes) {
        edge += (pane.style & SBPS_STRETCH) ? share : pane.width + gap + 2 * borders[0];
        edges.push_back(edge);
    }
    // A last pane that stretches reaches the bar's end through any later resize.
    if (m_panes.back().style & SBPS_STRETCH)
        edges.back() = -1;
    SendMessage(SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

void CStatusBar::ShowText(int index)
{
    UINT style = m_panes[index].style;
    WPARAM how = static_cast<WPARAM>(index);
    if (style & SBPS_NOBORDERS)
        how |= SBT_NOBORDERS;
    if (style & SBPS_POPOUT)
        how |= SBT_POPOUT;
    SendMessage(SB_SETTEXTA, how, reinterpret_cast<LPARAM>(m_panes[index].text.GetString()));
}
