// CConfig: the settings object built on the stack wherever a setting is
// needed. It names the product (the same identity in all four deliverables)
// and offers one getter, and for some a setter, per named setting.
#pragma once

#include "shared/config/CfgBase.h"
#include "shared/config/Credentials.h"

class CConfig : public CCfgBase {
public:
    // Fills the identity and refreshes the process's current service host
    // from the registry (writing the default host when it is missing).
    CConfig();

    // The flags below read 0 or 1: any non-zero stored value is 1.
    DWORD GetMakeReceipt();
    DWORD GetGotoShortcuts();
    DWORD GetShowWizIntro();
    DWORD GetTemplatesOnly();
    DWORD GetSingleClick();
    DWORD GetShowAttachWarning();
    DWORD GetSyncSize();
    DWORD GetShowReceipt();
    DWORD GetLockTemplates();

    void SetShowWizIntro(DWORD value);
    void SetShowAttachWarning(DWORD value);
    void SetSyncSize(DWORD value);

    // The template library's folder, created (with its parents) when
    // missing. 0, E_FAIL or E_ACCESSDENIED (output empty).
    [[nodiscard]] HRESULT GetTemplateFolder(CString& folder);
    HRESULT GetFileTypes(CString& types);
    HRESULT GetGateways(CString& gateways);

    // Only folders of task items (Outlook's item type 3) are synchronised.
    static bool IsSyncFolderType(long itemType) { return itemType == 3; }

    // The string-table id of the ribbon markup for a ribbon type, 0 for none.
    UINT GetRibbonId(const char* ribbonType) override;
    // The id of the add-in's PNG image resource.
    UINT GetImageId() override { return 19001; }

    // The stored login credentials (e-mail, password, account ID).
    virtual HRESULT GetCredentials(CCredentials& credentials);
    // Stores them; refuses (E_INVALIDARG) a field holding a tab, which would
    // split the stored record wrongly, and a record too long to store.
    virtual HRESULT SetCredentials(const CCredentials& credentials);

private:
    DWORD GetFlag(const char* name, DWORD defaultValue);
};
