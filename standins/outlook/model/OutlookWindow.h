// COutlookWindow: the top-level window behind an explorer or an inspector,
// of Outlook's window class, with the caption its Caption property reports,
// hidden (the tests run without a display). The explorer or inspector hands
// it out through IOleWindow, as Outlook's do, to own the add-in's dialogs;
// two mails of one subject have two windows of one caption.
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
