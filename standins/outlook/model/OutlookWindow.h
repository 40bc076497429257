// COutlookWindow: the top-level window behind an explorer or an inspector.
// The add-in finds the window that is to own its dialogs by Outlook's
// window class and the window's caption, so each explorer and inspector
// keeps one of these, hidden (the tests run without a display), with the
// caption its Caption property reports.
#pragma once

#include <string>

#include <windows.h>

namespace standin {

class COutlookWindow {
public:
    static constexpr const wchar_t* kClassName = L"rctrl_renwnd32";

    explicit COutlookWindow(const std::wstring& caption);
    COutlookWindow(const COutlookWindow&) = delete;
    COutlookWindow& operator=(const COutlookWindow&) = delete;
    ~COutlookWindow();

    HWND Handle() const { return m_window; }
    std::wstring Caption() const;
    void SetCaption(const std::wstring& caption);

private:
    HWND m_window = nullptr;
};

} // namespace standin
