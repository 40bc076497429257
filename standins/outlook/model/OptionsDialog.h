// COptionsDialog: Outlook's Tools | Options dialog, a property sheet titled
// "Options" with a tab of Outlook's own ("Preferences") and one tab for
// each page an add-in added in OptionsPagesAdd. An added page is created by
// its ProgID each time the dialog opens and hosted as an OLE control
// container hosts a control, with none of a dialog's kindness:
//
// - It is quick-activated (IQuickActivate) where the control offers it,
//   else sited, loaded and asked its status one call at a time. Its site
//   answers PropertyPageSite, the in-place site and frame, IOleControlSite
//   and, through IDispatch, the ambient properties a control asks for.
// - It sits in a window of the dialog's that is no dialog: the sheet's own
//   IsDialogMessage never reaches into it. The dialog's message loop hands
//   each key for the control to its IOleInPlaceActiveObject's
//   TranslateAccelerator; a key the control gives back (or passes to
//   IOleControlSite::TranslateAccelerator) is the dialog's: Enter is OK,
//   Esc is Cancel, Tab moves to the dialog's next control. While the focus
//   is on the dialog's own controls, the control's mnemonics (GetControlInfo)
//   go to its OnMnemonic.
// - It is activated in place when its tab is first shown. When another tab
//   comes to the front it is hidden (OLEIVERB_HIDE) and, unless the dialog
//   was told to keep it active, deactivated in place, its window gone; when
//   its tab comes back it is activated again and shown (OLEIVERB_SHOW).
// - On the page's OnStatusChange the dialog asks it get_Dirty and enables
//   Apply. OK and Apply call Apply on every page, the ones whose tab is not
//   in front and the ones never shown included; a page that fails it keeps
//   the dialog open on its tab. When the dialog closes, each control is
//   deactivated, closed and let go of, its site released.
//
// What happened to each page is kept for the test or the host program.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <oaidl.h>

namespace standin {

class CPropertyPages;
class COptionsPageHost;

class COptionsDialog {
public:
    struct PageRecord {
        std::wstring title;
        std::wstring progId;         // empty when the page came as an object
        HRESULT created = E_PENDING; // creating the control (by ProgID)
        bool quickActivated = false; // sited through IQuickActivate
        bool activated = false;      // its tab was shown and it went in place
        int activations = 0;         // times it went in place (again after each deactivation)
        bool dirtyWhenShown = false; // get_Dirty right after the first activation
        int statusChanges = 0;       // OnStatusChange calls
        std::vector<bool> dirtyAtStatusChange;
        std::vector<HRESULT> applies; // each Apply's answer
        std::vector<DISPID> ambientsAsked;
        long siteReferencesLeft = 0; // held by the page after it was let go of
    };

    // application: what the page site answers for Application and Parent.
    COptionsDialog(const CPropertyPages& pages, IDispatch* application);
    ~COptionsDialog();
    COptionsDialog(const COptionsDialog&) = delete;
    COptionsDialog& operator=(const COptionsDialog&) = delete;

    // Shows the dialog modally; IDOK or IDCANCEL as it ended (-1 when the
    // sheet could not be shown).
    INT_PTR Run(HWND owner);

    const std::vector<PageRecord>& Records() const { return m_records; }

    // What a tab switched away does to the control on it: both are what
    // real containers do.
    enum class HiddenTab {
        Deactivate, // hidden, then deactivated in place: its window goes
        KeepActive, // only hidden: the same window is shown again
    };
    void SetHiddenTab(HiddenTab hiddenTab) { m_hiddenTab = hiddenTab; }
    HiddenTab GetHiddenTab() const { return m_hiddenTab; }

    // For a page's host: OK was pressed (its PSN_APPLY said so), or Cancel.
    void NoteOk() { m_okPressed = true; }
    void NoteCancel() { m_okPressed = false; }

    // The sheet's Apply button.
    static constexpr int kApplyButton = 0x3021;

private:
    // A key of the dialog's own loop: a control's, a control's mnemonic,
    // else the sheet's. True when it was used.
    bool TranslateKey(MSG& message);

    HWND m_sheet = nullptr;
    HiddenTab m_hiddenTab = HiddenTab::Deactivate;
    bool m_okPressed = false;
    std::vector<PageRecord> m_records;
    std::vector<std::unique_ptr<COptionsPageHost>> m_hosts;
    IDispatch* m_application;
};

} // namespace standin
