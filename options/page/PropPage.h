// CPropPage: the options page, a control on dialog 9003 that Outlook shows
// as the "Quillet" page of its Options dialog. It edits every user setting
// of the system: the credentials (with a test against the service), the
// receipt preferences, the gateway plug-ins and the template folder, shows
// the library's version and starts the template editor. Nothing is written
// until Outlook calls Apply.
#pragma once

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

    // Writes every setting the page shows. S_OK; E_INVALIDARG when the
    // credentials cannot be stored as typed (the user has been told and
    // nothing was written).
    HRESULT SaveSettings();
    // Logs in with the credentials as typed, without storing them, and
    // shows the outcome in the result line.
    HRESULT OnTestCredentials();

protected:
    void* QueryOther(REFIID iid) override { return FindControlInterface(iid); }
    void OnClientSiteChanged(IOleClientSite* site) override;

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
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
    void ShowTestResult(UINT id);

    CVariant m_dirty;
    CComPtr<PropertyPageSite> m_site;
    BOOL m_initialised = FALSE;
    // The user changed the user name, password or account ID since they
    // were loaded or last stored.
    bool m_credentialsChanged = false;
    CGwList m_gateways;
    HWND m_gatewayList = nullptr;
};
