// CStatusBar: a status bar docked at the bottom of a dialog (or any window),
// split into panes. Each pane has an id (a string resource whose text it
// starts with, when there is one), a style and a width; a stretching pane
// takes what the fixed ones leave. The bar window is a child of its parent,
// which destroys it; this object keeps the pane layout.
#pragma once

#include <vector>

#include "classlib/ui/CWnd.h"

// Placement of a bar in its parent. The status bar always docks at the
// bottom; the bits are accepted so that callers can state it.
inline constexpr DWORD CBRS_BOTTOM = 0x00008200;
// The ids of bars docked at a frame's edges, by convention, and among them
// the status bar's.
inline constexpr UINT AFX_IDW_CONTROLBAR_FIRST = 0xE800;
inline constexpr UINT AFX_IDW_CONTROLBAR_LAST = 0xE8FF;
inline constexpr UINT AFX_IDW_STATUS_BAR = 0xE801;

// Pane styles.
inline constexpr UINT SBPS_NORMAL = 0x0000;
inline constexpr UINT SBPS_NOBORDERS = 0x0100;
inline constexpr UINT SBPS_POPOUT = 0x0200;
inline constexpr UINT SBPS_STRETCH = 0x0800;

class CStatusBar : public CWnd {
public:
    CStatusBar() = default;
    CStatusBar(const CStatusBar&) = delete;
    CStatusBar& operator=(const CStatusBar&) = delete;

    // Makes the bar window at the bottom of parent; FALSE when it could not
    // be made. The bar starts with one stretching pane.
    BOOL Create(HWND parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                UINT id = AFX_IDW_STATUS_BAR);

    // One pane per id (null ids: panes with id 0), normal style, each as wide
    // as its starting text; the last one stretches. FALSE without a bar.
    BOOL SetIndicators(const UINT* ids, int count);
    int GetCount() const { return static_cast<int>(m_panes.size()); }
    void SetPaneInfo(int index, UINT id, UINT style, int width);
    void GetPaneInfo(int index, UINT& id, UINT& style, int& width) const;
    // Index of the pane with that id, or -1.
    int CommandToIndex(UINT id) const;

    BOOL SetPaneText(int index, const char* text, BOOL update = TRUE);
    CString GetPaneText(int index) const;
    // The pane's rectangle in the bar's client coordinates; an empty
    // rectangle when there is no such pane.
    void GetItemRect(int index, RECT* rect) const;

    // Lays the panes out again for the bar's present width (after the
    // parent changed size, or RepositionBars).
    void Layout();

private:
    struct Pane {
        UINT id = 0;
        UINT style = SBPS_NORMAL;
        int width = 0;
        CString text;
    };
    bool Valid(int index) const { return index >= 0 && index < GetCount(); }
    void ShowText(int index);

    std::vector<Pane> m_panes;
};
