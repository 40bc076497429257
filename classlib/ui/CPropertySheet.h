// CPropertySheet: comctl32's property sheet over CPropertyPage objects,
// modal, as tabs or as a wizard. The pages stay owned by the caller and
// must outlive DoModal. Once comctl32 has made the sheet's window (before
// the first page shows) this object takes the window's messages: OnMessage
// sees them first, OnInitDialog runs once.
#pragma once

#include <vector>

#include <windows.h>
// After windows.h, which it builds on.
#include <prsht.h>

#include "classlib/ui/CWnd.h"

class CPropertyPage;

// What DoModal reports for a wizard ended with Finish.
inline constexpr INT_PTR ID_WIZFINISH = 0x3025;

class CPropertySheet : public CWnd {
public:
    // The caption is a string of the resource module; startPage the index
    // of the page shown first.
    explicit CPropertySheet(UINT captionId, HWND parent = nullptr, UINT startPage = 0);
    CPropertySheet(const CPropertySheet&) = delete;
    CPropertySheet& operator=(const CPropertySheet&) = delete;

    // Appends a page (not owned); the page learns its sheet.
    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    // Back, Next and Finish in place of OK, Cancel and Apply.
    void SetWizardMode() { m_wizard = true; }
    bool IsWizardMode() const { return m_wizard; }

    // Runs the sheet modally: ID_WIZFINISH when a wizard was finished, IDOK
    // when a sheet was closed with OK, IDCANCEL otherwise, -1 when it could
    // not be shown.
    virtual INT_PTR DoModal();
    // Sends PSM_SETWIZBUTTONS (PSWIZB_BACK, PSWIZB_NEXT, PSWIZB_FINISH ...).
    void SetWizardButtons(DWORD flags) { SendMessage(PSM_SETWIZBUTTONS, 0, flags); }

protected:
    // The sheet's window is made and laid out, no page shown yet.
    virtual BOOL OnInitDialog();
    // Sees every message of the sheet's window first. Return TRUE with the
    // answer in result to take it; FALSE leaves it to comctl32.
    virtual BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    friend class CPropertyPage;
    // A page accepted Finish.
    void NoteFinished() { m_finished = true; }
    static int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM lParam);

    UINT m_captionId;
    HWND m_parent;
    UINT m_startPage;
    bool m_wizard = false;
    bool m_finished = false;
    std::vector<CPropertyPage*> m_pages;
};
