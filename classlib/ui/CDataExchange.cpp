#include "classlib/ui/CDataExchange.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "classlib/ui/CWnd.h"

HWND CDataExchange::PrepareCtrl(int id)
{
    // Once one value has failed, the exchange stops where it is.
    if (m_failed)
        return nullptr;
    HWND control = ::GetDlgItem(m_hDlg, id);
    if (!control) {
        // A template without the control is the program's fault, not the
        // user's: nothing to show, but the values are not to be trusted.
        ::OutputDebugStringA("CDataExchange::PrepareCtrl: no such control\n");
        m_failed = true;
    }
    return control;
}

void CDataExchange::Fail(HWND control)
{
    m_failed = true;
    if (control) {
        ::SendMessageA(m_hDlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    }
}

void DDX_Text(CDataExchange& dx, int id, CString& value)
{
    HWND control = dx.PrepareCtrl(id);
    if (!control)
        return;
    CWnd view(control);
    if (dx.m_bSaveAndValidate)
        view.GetWindowText(value);
    else
        view.SetWindowText(value);
}

namespace {

bool ParseInt(const CString& text, int& value)
{
    CString trimmed = text;
    trimmed.Trim();
    if (trimmed.IsEmpty())
        return false;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(trimmed, &end, 10);
    if (errno == ERANGE || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

} // namespace

void DDX_Text(CDataExchange& dx, int id, int& value)
{
    HWND control = dx.PrepareCtrl(id);
    if (!control)
        return;
    CWnd view(control);
    if (!dx.m_bSaveAndValidate) {
        CString text;
        text.Format("%d", value);
        view.SetWindowText(text);
        return;
    }
    if (!ParseInt(view.GetWindowText(), value)) {
        ::MessageBoxA(dx.m_hDlg, "Please enter an integer.", nullptr, MB_OK | MB_ICONEXCLAMATION);
        dx.Fail(control);
    }
}

void DDX_Check(CDataExchange& dx, int id, int& value)
{
    HWND control = dx.PrepareCtrl(id);
    if (!control)
        return;
    if (dx.m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Control(CDataExchange& dx, int id, CWnd& control)
{
    if (dx.Failed() || control.GetSafeHwnd())
        return;
    if (HWND hwnd = dx.PrepareCtrl(id))
        control.Attach(hwnd);
}
