#include "classlib/ui/CWnd.h"

#include <utility>

#include "classlib/com/Barrier.h"
#include "classlib/win32/CActCtx.h"

HWND CWnd::Attach(HWND hwnd)
{
    return std::exchange(m_hWnd, hwnd);
}

HWND CWnd::Detach()
{
    return std::exchange(m_hWnd, nullptr);
}

void CWnd::GetWindowText(CString& text) const
{
    int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0) {
        text.Empty();
        return;
    }
    int copied = ::GetWindowTextA(m_hWnd, text.GetBuffer(length), length + 1);
    text.ReleaseBuffer(copied > 0 ? copied : 0);
}

CString CWnd::GetWindowText() const
{
    CString text;
    GetWindowText(text);
    return text;
}

void CWnd::ScreenToClient(RECT* rect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

BOOL CWnd::MoveWindow(const RECT& rect, BOOL repaint)
{
    return ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                        repaint);
}

BOOL CWnd::SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
}

void CWnd::RepositionBars(UINT first, UINT last, UINT leftOver)
{
    RECT free{};
    ::GetClientRect(m_hWnd, &free);
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        UINT id = static_cast<UINT>(::GetDlgCtrlID(child));
        if (id < first || id > last || !::IsWindowVisible(child))
            continue;
        // Common-control bars dock themselves to their parent's edge on WM_SIZE.
        ::SendMessageA(child, WM_SIZE, 0, 0);
        RECT bar{};
        ::GetWindowRect(child, &bar);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&bar), 2);
        if (bar.bottom >= free.bottom && bar.top > free.top)
            free.bottom = bar.top;
        else if (bar.top <= free.top && bar.bottom < free.bottom)
            free.top = bar.bottom;
    }
    HWND rest = leftOver ? ::GetDlgItem(m_hWnd, static_cast<int>(leftOver)) : nullptr;
    if (rest)
        ::MoveWindow(rest, free.left, free.top, free.right - free.left, free.bottom - free.top,
                     TRUE);
}

namespace {

// The window property that names a subclassed window's object.
constexpr char kObjectProperty[] = "Quillet.CWnd";

} // namespace

CWnd& CWnd::operator=(const CWnd& other)
{
    if (this != &other) {
        if (m_ownProc)
            UnsubclassWindow();
        m_hWnd = other.m_hWnd;
    }
    return *this;
}

CWnd::~CWnd()
{
    if (m_ownProc)
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    return hwnd ? static_cast<CWnd*>(::GetPropA(hwnd, kObjectProperty)) : nullptr;
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (m_ownProc || !hwnd || !::IsWindow(hwnd) || FromHandlePermanent(hwnd))
        return FALSE;
    if (!::SetPropA(hwnd, kObjectProperty, this))
        return FALSE;
    m_hWnd = hwnd;
    m_ownProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    if (!m_ownProc) {
        ::RemovePropA(hwnd, kObjectProperty);
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(int id, HWND parent)
{
    return SubclassWindow(::GetDlgItem(parent, id));
}

HWND CWnd::UnsubclassWindow()
{
    HWND hwnd = m_hWnd;
    if (!m_ownProc)
        return hwnd;
    if (hwnd && ::IsWindow(hwnd)) {
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_ownProc));
        ::RemovePropA(hwnd, kObjectProperty);
    }
    m_ownProc = nullptr;
    return hwnd;
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* text, DWORD style,
                    const RECT& rect, HWND parent, UINT id)
{
    if (m_ownProc)
        return FALSE;
    CActCtxScope looks;
    HWND hwnd = ::CreateWindowExA(exStyle, className, text ? text : "", style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                  ::GetModuleHandleA(nullptr), nullptr);
    if (!hwnd)
        return FALSE;
    if (!SubclassWindow(hwnd)) {
        ::DestroyWindow(hwnd);
        return FALSE;
    }
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_ownProc)
        return ::CallWindowProcA(m_ownProc, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

bool CWnd::ReflectToChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND child = nullptr;
    switch (message) {
    case WM_COMMAND:
        // Menus and accelerators send no window.
        child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY:
        if (lParam)
            child = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
        break;
    case WM_DRAWITEM:
        if (lParam && reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->CtlType != ODT_MENU)
            child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
        break;
    case WM_MEASUREITEM:
        if (lParam && reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlType != ODT_MENU)
            child = ::GetDlgItem(
                parent,
                static_cast<int>(reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlID));
        break;
    default:
        return false;
    }
    // Only a notification of one's own child is reflected: a property page
    // also hears from its sheet, which is its parent.
    if (!child || ::GetParent(child) != parent)
        return false;
    CWnd* object = FromHandlePermanent(child);
    if (!object)
        return false;
    LRESULT answer = 0;
    if (!object->OnChildNotify(message, wParam, lParam, &answer))
        return false;
    result = answer;
    return true;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* self = FromHandlePermanent(hwnd);
    if (!self || !self->m_ownProc)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    // Kept apart from the object, which a handler may delete.
    WNDPROC ownProc = self->m_ownProc;
    CActCtxScope looks;
    LRESULT result = 0;
    // A handler that throws leaves the message to the window's own procedure.
    const bool handled = CatchAtEdge("CWnd::SubclassProc", false, [&] {
        if (!ReflectToChild(hwnd, message, wParam, lParam, result))
            result = self->WindowProc(message, wParam, lParam);
        return true;
    });
    if (!handled)
        result = ::CallWindowProcA(ownProc, hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY && FromHandlePermanent(hwnd) == self) {
        ::RemovePropA(hwnd, kObjectProperty);
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ownProc));
        self->m_ownProc = nullptr;
        self->m_hWnd = nullptr;
        (void)CatchAtEdge("CWnd::PostNcDestroy", false, [&] {
            self->PostNcDestroy();
            return true;
        });
    }
    return result;
}
