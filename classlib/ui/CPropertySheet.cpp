#include "classlib/ui/CPropertySheet.h"

#include <utility>

#include "classlib/com/Barrier.h"
#include "classlib/win32/CActCtx.h"

#include "classlib/ui/CPropertyPage.h"
#include "classlib/ui/CommonControls.h"

namespace {

// The sheet whose window comctl32 is making on this thread.
thread_local CPropertySheet* t_sheetInCreation = nullptr;

} // namespace

CPropertySheet::CPropertySheet(UINT captionId, HWND parent, UINT startPage)
    : m_captionId(captionId), m_parent(parent), m_startPage(startPage)
{}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    if (!page)
        return;
    page->m_sheet = this;
    m_pages.push_back(page);
}

CPropertyPage* CPropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? m_pages[index] : nullptr;
}

INT_PTR CPropertySheet::DoModal()
{
    if (m_pages.empty())
        return -1;
    // The sheet, its pages and its modal loop belong to this module's manifest.
    CActCtxScope looks;
    InitCommonControlsOnce();
    std::vector<PROPSHEETPAGEA> pages(m_pages.size());
    for (size_t i = 0; i < m_pages.size(); ++i)
        m_pages[i]->Describe(pages[i]);

    PROPSHEETHEADERA header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | (m_wizard ? PSH_WIZARD : PSH_NOAPPLYNOW);
    header.hwndParent = m_parent;
    header.hInstance = GetResourceModule();
    header.pszCaption = MAKEINTRESOURCEA(m_captionId);
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = m_startPage < pages.size() ? m_startPage : 0;
    header.ppsp = pages.data();
    header.pfnCallback = SheetCallback;

    m_finished = false;
    CPropertySheet* outer = std::exchange(t_sheetInCreation, this);
    INT_PTR shown = ::PropertySheetA(&header);
    // The window is gone by now, and this object let go of it as it went.
    t_sheetInCreation = outer;
    if (m_finished)
        return ID_WIZFINISH;
    if (shown < 0)
        return -1;
    return shown > 0 && !m_wizard ? IDOK : IDCANCEL;
}

BOOL CPropertySheet::OnInitDialog()
{
    return TRUE;
}

BOOL CPropertySheet::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return FALSE;
}

LRESULT CPropertySheet::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

int CALLBACK CPropertySheet::SheetCallback(HWND hwnd, UINT message, LPARAM)
{
    // PSCB_INITIALIZED: the sheet's window exists and is laid out; its
    // first page comes next.
    if (message != PSCB_INITIALIZED)
        return 0;
    CPropertySheet* self = std::exchange(t_sheetInCreation, nullptr);
    if (!self || !self->SubclassWindow(hwnd))
        return 0;
    (void)CatchAtEdge("CPropertySheet::SheetCallback", false, [&] {
        self->OnInitDialog();
        return true;
    });
    return 0;
}
