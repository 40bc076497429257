#include "addin/controls/Expander.h"

BOOL CExpander::RecordSize(HWND window)
{
    RECT whole{};
    if (m_count >= kMaxSizes || !GetWindowRect(window, &whole))
        return FALSE;
    m_sizes[m_count++] = {whole.right - whole.left, whole.bottom - whole.top};
    return TRUE;
}

BOOL CExpander::RecordSize(HWND window, int controlId, int offset)
{
    RECT whole{};
    RECT control{};
    HWND child = GetDlgItem(window, controlId);
    if (m_count >= kMaxSizes || !child || !GetWindowRect(window, &whole) ||
        !GetWindowRect(child, &control))
        return FALSE;
    m_sizes[m_count++] = {whole.right - whole.left, control.top - whole.top + offset};
    return TRUE;
}

SIZE CExpander::GetSize(int state) const
{
    return state >= 0 && state < m_count ? m_sizes[state] : SIZE{};
}

BOOL CExpander::ApplySize(HWND window) const
{
    const SIZE size = GetSize(m_state);
    if (size.cx <= 0 || size.cy <= 0)
        return FALSE;
    return SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
