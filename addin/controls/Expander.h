// CExpander: a dialog that shows itself whole or cut short. It records up
// to five window sizes: the first is the whole window, each further one the
// window's width and the height from its top down to the top of one of its
// controls (plus an offset). State n gives the window size n: state 0 is
// the whole window (expanded), state 1 the first cut (collapsed).
#pragma once

#include <windows.h>

class CExpander {
public:
    static constexpr int kMaxSizes = 5;
    static constexpr int kExpanded = 0;
    static constexpr int kCollapsed = 1;

    // Records the window's whole size as the next size; FALSE when there is
    // no room left or no window.
    BOOL RecordSize(HWND window);
    // Records the window cut at the top of its control controlId, plus
    // offset; FALSE when there is no room left or no such control.
    BOOL RecordSize(HWND window, int controlId, int offset = 0);

    int GetState() const { return m_state; }
    void SetState(int state) { m_state = state; }
    // The recorded size of a state; an empty size for one not recorded.
    SIZE GetSize(int state) const;
    // Gives the window the size of the current state; its position and
    // place in the Z order stay.
    BOOL ApplySize(HWND window) const;

private:
    SIZE m_sizes[kMaxSizes] = {};
    int m_count = 0;
    int m_state = kExpanded;
};
