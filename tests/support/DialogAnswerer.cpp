#include "tests/support/DialogAnswerer.h"

namespace {

// A thread timer's procedure gets no context of its own.
thread_local CDialogAnswerer* t_answerer = nullptr;

// The message box keeps its text in a static with this id.
constexpr int kMessageBoxTextId = 0xFFFF;

} // namespace

CDialogAnswerer::CDialogAnswerer(int button) : m_button(button)
{
    t_answerer = this;
    m_timer = SetTimer(nullptr, 0, 50, Tick);
}

CDialogAnswerer::~CDialogAnswerer()
{
    KillTimer(nullptr, m_timer);
    t_answerer = nullptr;
}

std::vector<std::string> CDialogAnswerer::Captions() const
{
    std::vector<std::string> captions;
    for (const auto& [caption, text] : m_seen)
        captions.push_back(caption);
    return captions;
}

void CALLBACK CDialogAnswerer::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (t_answerer)
        EnumThreadWindows(GetCurrentThreadId(), Answer, reinterpret_cast<LPARAM>(t_answerer));
}

BOOL CALLBACK CDialogAnswerer::Answer(HWND window, LPARAM self)
{
    auto* answerer = reinterpret_cast<CDialogAnswerer*>(self);
    char className[16];
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) != "#32770" || !IsWindowVisible(window))
        return TRUE;
    char caption[256] = {};
    char text[1024] = {};
    GetWindowTextA(window, caption, sizeof caption);
    GetDlgItemTextA(window, kMessageBoxTextId, text, sizeof text);
    answerer->m_seen.emplace_back(caption, text);
    answerer->m_owners.push_back(GetWindow(window, GW_OWNER));
    PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(answerer->m_button), 0);
    return FALSE;
}
