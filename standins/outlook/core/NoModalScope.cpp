#include "standins/outlook/core/NoModalScope.h"

namespace standin {

namespace {

// The dialog class, as an atom (WC_DIALOG).
constexpr ATOM kDialogAtom = 0x8002;

// Outlook's user-interface thread is the stand-in's only one.
const wchar_t* g_event = nullptr;
std::vector<std::wstring> g_refusals;

bool IsDialogClass(LPCWSTR name)
{
    if (IS_INTRESOURCE(name))
        return LOWORD(reinterpret_cast<ULONG_PTR>(name)) == kDialogAtom;
    return name && lstrcmpW(name, L"#32770") == 0;
}

} // namespace

CNoModalScope::CNoModalScope(const wchar_t* event) : m_outer(g_event)
{
    g_event = event;
    m_hook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

CNoModalScope::~CNoModalScope()
{
    if (m_hook)
        UnhookWindowsHookEx(m_hook);
    g_event = m_outer;
}

std::vector<std::wstring> CNoModalScope::TakeRefusals()
{
    std::vector<std::wstring> taken;
    taken.swap(g_refusals);
    return taken;
}

void CNoModalScope::Note(const std::wstring& refusal)
{
    g_refusals.push_back(refusal);
}

LRESULT CALLBACK CNoModalScope::Hook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && g_event) {
        const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        const CREATESTRUCTW* window = create ? create->lpcs : nullptr;
        if (window && !(window->style & WS_CHILD) && IsDialogClass(window->lpszClass)) {
            g_refusals.push_back(std::wstring(L"a dialog inside ") + g_event);
            return 1; // the window is not created
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace standin
