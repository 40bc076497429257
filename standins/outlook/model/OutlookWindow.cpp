#include "standins/outlook/model/OutlookWindow.h"

#include <vector>

namespace standin {

namespace {

ATOM RegisterOnce()
{
    static const ATOM atom = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = COutlookWindow::kClassName;
        return RegisterClassExW(&windowClass);
    }();
    return atom;
}

} // namespace

COutlookWindow::COutlookWindow(const std::wstring& caption)
{
    RegisterOnce();
    m_window = CreateWindowExW(0, kClassName, caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                               CW_USEDEFAULT, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
}

COutlookWindow::~COutlookWindow()
{
    if (m_window)
        DestroyWindow(m_window);
}

std::wstring COutlookWindow::Caption() const
{
    const int length = GetWindowTextLengthW(m_window);
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    GetWindowTextW(m_window, text.data(), length + 1);
    return text.data();
}

void COutlookWindow::SetCaption(const std::wstring& caption)
{
    SetWindowTextW(m_window, caption.c_str());
}

} // namespace standin
