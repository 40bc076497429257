// CPropPage: the options page, a control on dialog 9003 that Outlook shows
// as the "Quillet" page of its Options dialog. It edits every user setting
// of the system: the credentials (with a test against the service), the
// receipt preferences, the gateway plug-ins and the template folder, shows
// the library's version and starts the template editor. Nothing is written
// until Outlook calls Apply.
//
// A container may take the page's window away at any time (deactivating it
// in place when its tab is switched away) and make it again, or call Apply
// while it is gone: the page keeps what it shows, as the user left it, from
// one window to the next and for Apply. It is read from the settings once,
// when the first window is made.
#pragma once

#include <optional>

#include <windows.h>
#include <commctrl.h>

#include "classlib/com/CComDispatch.h"
#include "classlib/com/CVariant.h"
#include "classlib/com/OutlookPages.h"
#include "classlib/control/CComCompositeControl.h"
#include "options/gateways/GwList.h"
#include "options/page/PageIds.h"
#include "shared/service/WebService.h"

using CPropPageObject = CComDispatch<IPropPage, PropertyPage, ISupportErrorInfo>;

class CPropPage final : public CPropPageObject, public CComCompositeControl, public CWebService {
public:
    CPropPage();
    ~CPropPage() override;

    // One IUnknown for every face of the page.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        return CPropPageObject::QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return CPropPageObject::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return CPropPageObject::Release(); }

    // IDispatch: the page's own interface has no members.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

    // PropertyPage
    HRESULT STDMETHODCALLTYPE GetPageInfo(BSTR* helpFile, long* helpContext) override;
    HRESULT STDMETHODCALLTYPE get_Dirty(VARIANT_BOOL* dirty) override;
    HRESULT STDMETHODCALLTYPE Apply() override;

    // ISupportErrorInfo: S_OK for IPropPage, S_FALSE for the rest.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    // Writes every setting the page shows. S_OK; S_FALSE when the page was
    // never shown, so it has nothing of the user's to write (and writes
    // nothing); E_INVALIDARG when the credentials cannot be stored as typed
    // (the user has been told and nothing was written).
    HRESULT SaveSettings();
    // Logs in with the credentials as typed, without storing them, and
    // shows the outcome in the result line.
    HRESULT OnTestCredentials();

protected:
    void* QueryOther(REFIID iid) override { return FindControlInterface(iid); }
    void OnClientSiteChanged(IOleClientSite* site) override;

    BOOL OnInitDialog() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // What the page shows, but for the gateways (their records keep their
    // own enabled flags).
    struct Shown {
        CString email;
        CString password;
        CString accountId;
        bool makeReceipt = true;
        bool showReceipt = true;
        bool showReceiptEnabled = true;
        bool gotoShortcuts = true;
        CString folder;
        bool templatesOnly = false;
        bool singleClick = false;
        bool locked = false; // LockTemplates, as read with the rest
        void Forget();       // wipes the password
    };
    static Shown LoadShown();
    void PresentShown(const Shown& shown);
    Shown ReadShown() const;
    // Takes what the window shows now, while it is there and loaded.
    void KeepShown();

    void SetDirty();
    // The dependent box follows its master: unchecked and disabled while
    // the master is unchecked, enabled (as it was) when it is checked.
    void FollowMaster(int master, int dependent);
    bool InitGatewayList();
    void FillGateways();
    void SaveGateways();
    void OnGatewayDispInfo(NMLVDISPINFOA& info);
    void OnGatewayClick(const NMITEMACTIVATE& click);
    void OnBrowseFolder();
    int OnEditTemplates();
    CString ItemText(int id) const;
    // The window a message of the page's is owned by.
    HWND OwnerWindow() const;
    void ShowTestResult(UINT id);

    CVariant m_dirty;
    CComPtr<PropertyPageSite> m_site;
    BOOL m_initialised = FALSE;
    // The user changed the user name, password or account ID since they
    // were loaded or last stored.
    bool m_credentialsChanged = false;
    CGwList m_gateways;
    HWND m_gatewayList = nullptr;
    std::optional<Shown> m_shown; // none until the first window was loaded
};
