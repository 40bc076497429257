#include "classlib/ui/CDialog.h"

#include "classlib/com/Barrier.h"
#include "classlib/win32/CActCtx.h"
#include "classlib/ui/CommonControls.h"

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog()
{
    if (!m_modal && m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal()
{
    // The dialog's controls and its modal loop belong to this module's
    // manifest, whatever the host process has active.
    CActCtxScope looks;
    InitCommonControlsOnce();
    m_modal = true;
    m_result = ::DialogBoxParamA(GetResourceModule(), MAKEINTRESOURCEA(m_templateId), m_parent,
                                 DialogProc, reinterpret_cast<LPARAM>(this));
    m_modal = false;
    return m_result;
}

BOOL CDialog::Create(HWND parent)
{
    CActCtxScope looks;
    InitCommonControlsOnce();
    if (parent)
        m_parent = parent;
    m_modal = false;
    HWND hwnd = ::CreateDialogParamA(GetResourceModule(), MAKEINTRESOURCEA(m_templateId), m_parent,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

BOOL CDialog::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

void CDialog::EndDialog(int result)
{
    m_result = result;
    if (m_modal)
        ::EndDialog(m_hWnd, result);
    else
        DestroyWindow();
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(m_hWnd, saveAndValidate);
    DoDataExchange(dx);
    return dx.Failed() ? FALSE : TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange&) {}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM)
{
    // Buttons send BN_CLICKED (0); Enter and Esc arrive from the dialog
    // manager with the same code.
    if (HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CDialog::OnNotify(WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

void CDialog::OnTimer(UINT_PTR)
{
    Default();
}

void CDialog::OnPaint()
{
    Default();
}

BOOL CDialog::OnEraseBkgnd(HDC)
{
    Default();
    return FALSE;
}

BOOL CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hwnd;
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) belong to the dialog manager.
    if (!self)
        return FALSE;
    // A modeless dialog (the options page) gets its messages from the host's
    // loop: what a handler makes (controls, message boxes) is still ours.
    CActCtxScope looks;
    INT_PTR answer = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return answer;
}

namespace {

// Messages whose answer is the dialog procedure's return value itself rather
// than DWLP_MSGRESULT.
bool AnswersDirectly(UINT message)
{
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

} // namespace

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A handler may send messages that come back here; each message keeps
    // its own request for the default handling.
    bool outerWantDefault = m_wantDefault;
    m_wantDefault = false;
    LRESULT result = 0;
    // A handler that throws leaves the message to the default handling.
    const bool handled = CatchAtEdge("CDialog::DialogProc", false,
                                     [&] { return Route(message, wParam, lParam, result); });
    bool wantDefault = m_wantDefault;
    m_wantDefault = outerWantDefault;
    if (!handled || wantDefault)
        return FALSE;
    if (AnswersDirectly(message))
        return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

bool CDialog::Route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (OnMessage(message, wParam, lParam, result))
        return true;
    if (ReflectToChild(m_hWnd, message, wParam, lParam, result))
        return true;
    switch (message) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return true;
    case WM_COMMAND:
        return OnCommand(wParam, lParam) != FALSE;
    case WM_NOTIFY:
        return OnNotify(wParam, lParam, &result) != FALSE;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return true;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_ERASEBKGND:
        result = OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        return true;
    default:
        return false;
    }
}
