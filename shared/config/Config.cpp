#include "shared/config/Config.h"

#include <cstring>
#include <shlobj.h>

#include "shared/log/DebugLog.h"

CConfig::CConfig()
{
    m_companyWord = "Quillet";
    m_productName = "Quillet for Outlook";
    m_displayName = "Inkstave, Quillet Edition";
    m_moduleFileName = "QuillOff.dll";
    m_progId = "Quillet.OutlookAddin";
    m_description = "Quillet Add-in for Outlook";
    m_clsid = "{DF82D7DA-6BFB-4072-984C-B860F99B6B9C}";

    CString host;
    (void)GetHost(host);
    CurrentServiceHost() = host;
    DefaultServicePath() = "services/gateway.asmx";
}

DWORD CConfig::GetFlag(const char* name, DWORD defaultValue)
{
    DWORD value = defaultValue;
    (void)GetKey(name, value);
    return value ? 1 : 0;
}

DWORD CConfig::GetMakeReceipt()
{
    return GetFlag("MakeReceipt", 1);
}
DWORD CConfig::GetGotoShortcuts()
{
    return GetFlag("GotoShortcuts", 1);
}
DWORD CConfig::GetShowWizIntro()
{
    return GetFlag("ShowWizIntro", 1);
}
DWORD CConfig::GetTemplatesOnly()
{
    return GetFlag("TemplatesOnly", 0);
}
DWORD CConfig::GetSingleClick()
{
    return GetFlag("SingleClick", 0);
}
DWORD CConfig::GetShowAttachWarning()
{
    return GetFlag("ShowAttachWarning", 1);
}
DWORD CConfig::GetSyncSize()
{
    return GetFlag("SyncSize", 1);
}
DWORD CConfig::GetShowReceipt()
{
    return GetFlag("ShowReceipt", 1);
}
DWORD CConfig::GetLockTemplates()
{
    return GetFlag("LockTemplates", 0);
}

void CConfig::SetShowWizIntro(DWORD value)
{
    SetKey("ShowWizIntro", value);
}
void CConfig::SetShowAttachWarning(DWORD value)
{
    SetKey("ShowAttachWarning", value);
}
void CConfig::SetSyncSize(DWORD value)
{
    SetKey("SyncSize", value);
}

HRESULT CConfig::GetTemplateFolder(CString& folder)
{
    folder.Empty();
    CString path;
    if (FAILED(GetKey("TemplateFolder", path))) {
        char appData[MAX_PATH];
        if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                    SHGFP_TYPE_CURRENT, appData)))
            return E_FAIL;
        CString companyFolder;
        companyFolder.Format("%s\\%s", appData, m_companyWord.GetString());
        if (GetFileAttributesA(companyFolder) == INVALID_FILE_ATTRIBUTES &&
            !CreateDirectoryA(companyFolder, nullptr))
            return E_ACCESSDENIED;
        path.Format("%s\\Templates", companyFolder.GetString());
    }

    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        int result = SHCreateDirectoryExA(nullptr, path, nullptr);
        if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS)
            return E_ACCESSDENIED;
    } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return E_ACCESSDENIED;
    }
    folder = path;
    return S_OK;
}

HRESULT CConfig::GetFileTypes(CString& types)
{
    types = "*";
    return GetKey("FileTypes", types);
}

HRESULT CConfig::GetGateways(CString& gateways)
{
    gateways.Empty();
    return GetKey("Gateways", gateways);
}

UINT CConfig::GetRibbonId(const char* ribbonType)
{
    if (!ribbonType)
        return 0;
    if (std::strcmp(ribbonType, "Microsoft.Outlook.Explorer") == 0)
        return 19050;
    if (std::strcmp(ribbonType, "Microsoft.Outlook.Mail.Compose") == 0)
        return 19051;
    return 0;
}
