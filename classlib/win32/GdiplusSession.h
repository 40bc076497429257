// GDI+ started for a scope: GdiplusStartup now, GdiplusShutdown at the end
// when it started. Every GDI+ object must be gone before the session ends.
#pragma once

#include <windows.h>

#include <gdiplus.h>

class CGdiplusSession {
public:
    CGdiplusSession()
    {
        Gdiplus::GdiplusStartupInput input;
        m_ok = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;
    ~CGdiplusSession()
    {
        if (m_ok)
            Gdiplus::GdiplusShutdown(m_token);
    }
    bool Ok() const { return m_ok; }

private:
    ULONG_PTR m_token = 0;
    bool m_ok = false;
};
