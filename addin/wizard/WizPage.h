// CWizPage: a page of the send wizard. It knows where it stands in the
// wizard (its position kind) and from that and IsPageComplete which of
// Back, Next and Finish the wizard offers while it shows.
#pragma once

#include "classlib/ui/CPropertyPage.h"

class CWizSheet;

class CWizPage : public CPropertyPage {
public:
    // Position kinds: which wizard buttons a page shows. The numbers are
    // the send road's and the pages' common language; kept as they are.
    static constexpr DWORD kOnlyPage = 0;
    static constexpr DWORD kFirstPage = 1;
    static constexpr DWORD kMiddlePage = 2;
    static constexpr DWORD kLastPage = 3;

    CWizPage(DWORD kind, UINT templateId, UINT captionId = 0);

    DWORD GetKind() const { return m_kind; }
    CWizSheet* GetWizSheet() const { return m_wizSheet; }
    void SetWizSheet(CWizSheet* sheet) { m_wizSheet = sheet; }

    // An operation this page started on the sheet's runner has ended;
    // result: whether it succeeded.
    virtual BOOL OnOpDone(BOOL result);
    // May the user go on from this page?
    virtual BOOL IsPageComplete();

protected:
    // Offers the buttons the kind and IsPageComplete call for, then shows
    // the page.
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    // Finishes only when the page lets itself be left.
    BOOL OnWizardFinish() override;

    // Posts PSM_SETWIZBUTTONS to the sheet: the buttons change once the
    // message in hand is done, as they do when comctl32 is asked.
    void PostWizardButtons(DWORD flags);
    // Posts the buttons the page's kind offers when it is (or is not)
    // complete: what OnSetActive offers, for a page whose completeness
    // changed while it shows.
    void PostButtonsFor(BOOL complete);
    // PSWIZB_BACK, or nothing on a first page (which never offers Back).
    DWORD BackUnlessFirst() const;

private:
    DWORD m_kind;
    CWizSheet* m_wizSheet = nullptr;
};
