#include "classlib/ui/CPropertyPage.h"

#include "classlib/ui/CPropertySheet.h"

namespace {

// The page comctl32 is about to make a window for (set by the page's
// creation callback, taken at its window's first message).
thread_local CPropertyPage* t_pageInCreation = nullptr;

} // namespace

CPropertyPage::CPropertyPage(UINT templateId, UINT captionId)
    : CDialog(templateId), m_captionId(captionId)
{}

BOOL CPropertyPage::OnSetActive()
{
    return TRUE;
}

BOOL CPropertyPage::OnKillActive()
{
    return UpdateData(TRUE);
}

BOOL CPropertyPage::OnWizardFinish()
{
    return TRUE;
}

BOOL CPropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    // The sheet's notifications come from the sheet, the page's parent.
    if (!header || header->hwndFrom != ::GetParent(m_hWnd))
        return CDialog::OnNotify(wParam, lParam, result);
    switch (header->code) {
    case PSN_SETACTIVE:
        // 0 shows this page; -1 goes on to the next one.
        *result = OnSetActive() ? 0 : -1;
        return TRUE;
    case PSN_KILLACTIVE:
        // FALSE lets the page go; TRUE keeps it.
        *result = OnKillActive() ? FALSE : TRUE;
        return TRUE;
    case PSN_WIZFINISH: {
        // FALSE lets the wizard end; TRUE keeps it open.
        BOOL finish = OnWizardFinish();
        if (finish && m_sheet)
            m_sheet->NoteFinished();
        *result = finish ? FALSE : TRUE;
        return TRUE;
    }
    default:
        return CDialog::OnNotify(wParam, lParam, result);
    }
}

void CPropertyPage::Describe(PROPSHEETPAGEA& page)
{
    page = PROPSHEETPAGEA{};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_USECALLBACK | (m_captionId ? PSP_USETITLE : 0);
    page.hInstance = GetResourceModule();
    page.pszTemplate = MAKEINTRESOURCEA(GetTemplateId());
    page.pszTitle = MAKEINTRESOURCEA(m_captionId);
    page.pfnDlgProc = PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    page.pfnCallback = PageCallback;
}

UINT CALLBACK CPropertyPage::PageCallback(HWND, UINT message, PROPSHEETPAGEA* page)
{
    // Called just before comctl32 makes the page's window from its template.
    if (message == PSPCB_CREATE && page)
        t_pageInCreation = reinterpret_cast<CPropertyPage*>(page->lParam);
    // Non-zero: the page may be made (and, for PSPCB_ADDREF, nothing to count).
    return 1;
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CPropertyPage*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self) {
        // The template's controls talk to the page before WM_INITDIALOG
        // (owner-drawn lists ask their row height as they are made): the
        // page object takes the window at its first message.
        if (message == WM_INITDIALOG && lParam)
            self = reinterpret_cast<CPropertyPage*>(
                reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
        else
            self = t_pageInCreation;
        if (!self || self->m_hWnd)
            return FALSE;
        ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hwnd;
    }
    if (message == WM_INITDIALOG && t_pageInCreation == self)
        t_pageInCreation = nullptr;
    INT_PTR answer = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return answer;
}
