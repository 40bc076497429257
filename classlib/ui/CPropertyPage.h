// CPropertyPage: one page of a CPropertySheet, made by comctl32 from a
// dialog template of the resource module. The page object takes its
// window's messages from the first one on, before the controls of the
// template send theirs (WM_MEASUREITEM, WM_NOTIFY), and hands them to the
// CDialog handlers; the sheet's PSN_* notifications become the virtual
// calls below, their answers placed where comctl32 reads them.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <prsht.h>

#include "classlib/ui/CDialog.h"

class CPropertySheet;

class CPropertyPage : public CDialog {
public:
    // captionId 0: the template's caption is the page's title.
    explicit CPropertyPage(UINT templateId, UINT captionId = 0);

    // The sheet the page was added to, or null.
    CPropertySheet* GetSheet() const { return m_sheet; }

protected:
    // The page is about to be shown. TRUE takes the activation; FALSE skips
    // to the next page.
    virtual BOOL OnSetActive();
    // The page is about to be left (or the sheet's OK pressed). TRUE lets
    // it go; FALSE keeps the user on it. The default takes the values of
    // the controls (UpdateData).
    virtual BOOL OnKillActive();
    // Finish was pressed on this page of a wizard. TRUE lets the wizard end
    // (the sheet then reports ID_WIZFINISH); FALSE keeps it open.
    virtual BOOL OnWizardFinish();

    // A page ends nothing by itself: Enter and Esc belong to the sheet.
    void OnOK() override {}
    void OnCancel() override {}
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    friend class CPropertySheet;
    // The description comctl32 makes the page from.
    void Describe(PROPSHEETPAGEA& page);
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static UINT CALLBACK PageCallback(HWND hwnd, UINT message, PROPSHEETPAGEA* page);

    UINT m_captionId;
    CPropertySheet* m_sheet = nullptr;
};
