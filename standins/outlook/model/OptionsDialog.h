// COptionsDialog: Outlook's Tools | Options dialog, a property sheet titled
// "Options" with a tab of Outlook's own ("Preferences") and one tab for
// each page an add-in added in OptionsPagesAdd. An added page is created by
// its ProgID when the dialog opens and hosted as Outlook hosts it, as an
// OLE control container does: a client site that answers PropertyPageSite,
// an in-place site and frame, the ambient properties a control asks for.
// The control is activated in place when its tab is first shown. On the
// page's OnStatusChange the dialog asks it get_Dirty and enables Apply;
// OK and Apply call the page's Apply. When the dialog closes, each control
// is deactivated, closed and let go of, its site released.
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
        bool activated = false;      // its tab was shown and it went in place
        bool dirtyWhenShown = false; // get_Dirty right after activation
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

    // The sheet's Apply button.
    static constexpr int kApplyButton = 0x3021;

private:
    std::vector<PageRecord> m_records;
    std::vector<std::unique_ptr<COptionsPageHost>> m_hosts;
    IDispatch* m_application;
};

} // namespace standin
