// CWaitCursor: the hourglass while this object lives; the cursor shown
// before comes back when it goes (or at Restore).
#pragma once

#include <windows.h>

class CWaitCursor {
public:
    CWaitCursor() : m_previous(::SetCursor(::LoadCursorA(nullptr, IDC_WAIT))) {}
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    ~CWaitCursor() { Restore(); }

    void Restore()
    {
        if (m_active)
            ::SetCursor(m_previous);
        m_active = false;
    }

private:
    HCURSOR m_previous;
    bool m_active = true;
};
