#include "options/page/PropPage.h"

#include "classlib/com/Barrier.h"
#include "options/OptionsResource.h"
#include "options/module/QuillOptsApp.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"

namespace {

// The UTF-16 block the credentials are stored in holds this many bytes
// (CCfgBase::kSecretCapacity).
constexpr int kCredentialsBlockBytes = static_cast<int>(CCfgBase::kSecretCapacity);

// Whether the stored form can hold the three fields exactly as typed: no
// tab inside one (the tabs part them) and all of it, tabs included, within
// the block in UTF-16.
bool CredentialsFit(const CCredentials& credentials)
{
    for (const CString* field :
         {&credentials.m_email, &credentials.m_password, &credentials.m_accountId})
        if (field->Find('\t') >= 0)
            return false;
    CString joined;
    joined.Format("%s\t%s\t%s", credentials.m_email.GetString(), credentials.m_password.GetString(),
                  credentials.m_accountId.GetString());
    const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, joined, -1, nullptr, 0) - 1;
    SecureZeroMemory(joined.GetBuffer(0), joined.GetLength());
    return units >= 0 && units * static_cast<int>(sizeof(wchar_t)) <= kCredentialsBlockBytes;
}

} // namespace

CPropPage::CPropPage()
    : CComCompositeControl(static_cast<IPropPage&>(*this), CLSID_PropPage, IDD_PROPPAGE,
                           kPropPageMiscStatus)
{
    SetTypeLibrary(LIBID_QuillOptsLib, 1, 0);
    m_dirty.vt = VT_BOOL;
    m_dirty.boolVal = VARIANT_FALSE;
}

CPropPage::~CPropPage()
{
    // The window goes first, while the page it reports to is still whole.
    BeginDestruction();
    InPlaceDeactivate();
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    m_gateways.RemoveAll();
}

HRESULT CPropPage::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids)
{
    if (ids)
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT CPropPage::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT CPropPage::GetPageInfo(BSTR*, long*)
{
    return E_NOTIMPL;
}

HRESULT CPropPage::get_Dirty(VARIANT_BOOL* dirty)
{
    if (!dirty)
        return E_POINTER;
    *dirty = m_dirty.vt == VT_BOOL ? m_dirty.boolVal : VARIANT_FALSE;
    return S_OK;
}

HRESULT CPropPage::Apply()
{
    return CatchAtEdge("CPropPage::Apply", [&] { return SaveSettings(); });
}

HRESULT CPropPage::InterfaceSupportsErrorInfo(REFIID iid)
{
    return iid == IID_IPropPage ? S_OK : S_FALSE;
}

void CPropPage::OnClientSiteChanged(IOleClientSite* site)
{
    // The old site's page site goes with it, also when no new one comes.
    m_site.Release();
    if (site)
        site->QueryInterface(IID_OutlookPropertyPageSite, m_site.PutVoid());
    m_dirty.Clear();
    m_dirty.vt = VT_BOOL;
    m_dirty.boolVal = VARIANT_FALSE;
}

void CPropPage::SetDirty()
{
    // Loading the controls sends their change notifications too: those
    // are no change of the user's.
    if (!m_initialised)
        return;
    if (m_dirty.vt != VT_BOOL)
        m_dirty.Clear();
    m_dirty.vt = VT_BOOL;
    m_dirty.boolVal = VARIANT_TRUE;
    // A container that is no Outlook options dialog has no page site.
    if (m_site)
        m_site->OnStatusChange();
}

CString CPropPage::ItemText(int id) const
{
    return GetDlgItem(id).GetWindowText();
}

BOOL CPropPage::OnInitDialog()
{
    CLogBlock block("CPropPage::OnInitDialog");
    CConfig config;

    CCredentials credentials;
    if (SUCCEEDED(config.GetCredentials(credentials))) {
        SetDlgItemTextA(m_hWnd, IDC_USERNAME, credentials.m_email);
        SetDlgItemTextA(m_hWnd, IDC_PASSWORD, credentials.m_password);
        SetDlgItemTextA(m_hWnd, IDC_ACCOUNT_ID, credentials.m_accountId);
        SecureZeroMemory(credentials.m_password.GetBuffer(0), credentials.m_password.GetLength());
    }

    CheckDlgButton(IDC_MAKE_RECEIPT, config.GetMakeReceipt() == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_SHOW_RECEIPT, config.GetShowReceipt() == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_GOTO_SHORTCUTS,
                   config.GetGotoShortcuts() == 1 ? BST_CHECKED : BST_UNCHECKED);

    const bool locked = config.GetLockTemplates() != 0;
    CString folder;
    if (FAILED(config.GetTemplateFolder(folder)))
        folder.Empty();
    SetDlgItemTextA(m_hWnd, IDC_TEMPLATE_FOLDER, folder);
    if (locked)
        GetDlgItem(IDC_TEMPLATE_FOLDER).EnableWindow(FALSE);

    const bool templatesOnly = config.GetTemplatesOnly() == 1;
    CheckDlgButton(IDC_TEMPLATES_ONLY, templatesOnly ? BST_CHECKED : BST_UNCHECKED);
    if (locked)
        GetDlgItem(IDC_TEMPLATES_ONLY).EnableWindow(FALSE);
    CheckDlgButton(IDC_SINGLE_CLICK, config.GetSingleClick() == 1 ? BST_CHECKED : BST_UNCHECKED);
    GetDlgItem(IDC_SINGLE_CLICK).EnableWindow(templatesOnly && !locked);

    CQuillOptsApp& app = TheOptsApp();
    app.ReadVersion();
    if (!app.GetFileVersion().IsEmpty())
        SetDlgItemTextA(m_hWnd, IDC_VERSION, app.GetFileVersion());

    // Without its state images the list could not show what is enabled:
    // the page stays uninitialised, so nothing marks it dirty and Apply
    // writes only what it loaded.
    if (!InitGatewayList())
        return -1;
    FillGateways();

    m_initialised = TRUE;
    return TRUE;
}

BOOL CPropPage::OnCommand(WPARAM wParam, LPARAM)
{
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    switch (id) {
    case IDC_USERNAME:
    case IDC_PASSWORD:
    case IDC_ACCOUNT_ID:
        if (code != EN_CHANGE)
            return FALSE;
        if (m_initialised)
            m_credentialsChanged = true;
        SetDirty();
        return TRUE;
    case IDC_TEMPLATE_FOLDER:
        if (code != EN_CHANGE)
            return FALSE;
        SetDirty();
        return TRUE;
    case IDC_GOTO_SHORTCUTS:
    case IDC_SHOW_RECEIPT:
    case IDC_SINGLE_CLICK:
        if (code != BN_CLICKED)
            return FALSE;
        SetDirty();
        return TRUE;
    case IDC_MAKE_RECEIPT:
        if (code != BN_CLICKED)
            return FALSE;
        FollowMaster(IDC_MAKE_RECEIPT, IDC_SHOW_RECEIPT);
        SetDirty();
        return TRUE;
    case IDC_TEMPLATES_ONLY:
        if (code != BN_CLICKED)
            return FALSE;
        FollowMaster(IDC_TEMPLATES_ONLY, IDC_SINGLE_CLICK);
        SetDirty();
        return TRUE;
    case IDC_TEST_CREDENTIALS:
        if (code != BN_CLICKED)
            return FALSE;
        (void)OnTestCredentials();
        return TRUE;
    case IDC_BROWSE_FOLDER:
        if (code != BN_CLICKED)
            return FALSE;
        OnBrowseFolder();
        return TRUE;
    case IDC_EDIT_TEMPLATES:
        if (code != BN_CLICKED)
            return FALSE;
        OnEditTemplates();
        return TRUE;
    default:
        return FALSE;
    }
}

void CPropPage::FollowMaster(int master, int dependent)
{
    if (IsDlgButtonChecked(master) != BST_CHECKED) {
        CheckDlgButton(dependent, BST_UNCHECKED);
        GetDlgItem(dependent).EnableWindow(FALSE);
    } else {
        GetDlgItem(dependent).EnableWindow(TRUE);
    }
}

BOOL CPropPage::OnNotify(WPARAM, LPARAM lParam, LRESULT* result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header || header->idFrom != IDC_GATEWAYS)
        return FALSE;
    if (header->code == LVN_GETDISPINFOA) {
        OnGatewayDispInfo(*reinterpret_cast<NMLVDISPINFOA*>(lParam));
        *result = 0;
        return TRUE;
    }
    if (header->code == NM_CLICK) {
        OnGatewayClick(*reinterpret_cast<NMITEMACTIVATE*>(lParam));
        *result = 0;
        return TRUE;
    }
    return FALSE;
}

HRESULT CPropPage::SaveSettings()
{
    CLogBlock block("CPropPage::SaveSettings");
    // A page whose controls were never loaded shows nothing the user chose:
    // its empty edits and list would wipe the stored settings.
    if (!m_initialised) {
        TheLog().Warning("CPropPage::SaveSettings: the page was never loaded; nothing written");
        return S_OK;
    }
    CConfig config;

    // The stored credentials are rewritten only when the user changed one
    // of them: the edits show them in the ANSI code page, so an untouched
    // password with a letter that page lacks would come back as "?".
    if (m_credentialsChanged) {
        CCredentials credentials;
        credentials.m_email = ItemText(IDC_USERNAME);
        credentials.m_password = ItemText(IDC_PASSWORD);
        credentials.m_accountId = ItemText(IDC_ACCOUNT_ID);
        // Credentials the stored form cannot hold are refused as a whole,
        // before anything is written: cut short, they would log in as
        // someone else or not at all. The page stays dirty, so the user can
        // mend them.
        const bool fits = CredentialsFit(credentials);
        HRESULT stored = fits ? config.SetCredentials(credentials) : E_INVALIDARG;
        SecureZeroMemory(credentials.m_password.GetBuffer(0), credentials.m_password.GetLength());
        if (FAILED(stored)) {
            TheLog().Error("CPropPage::SaveSettings: the credentials do not fit their stored form");
            CString text;
            if (!text.LoadString(IDS_CREDENTIALS_TOO_LONG))
                text = "The credentials could not be saved.";
            ::MessageBoxA(m_hWnd, text, "Quillet", MB_OK | MB_ICONEXCLAMATION);
            return E_INVALIDARG;
        }
        m_credentialsChanged = false;
    }

    config.SetKey("MakeReceipt", IsDlgButtonChecked(IDC_MAKE_RECEIPT) == BST_CHECKED ? 1ul : 0ul);
    config.SetKey("ShowReceipt", IsDlgButtonChecked(IDC_SHOW_RECEIPT) == BST_CHECKED ? 1ul : 0ul);
    config.SetKey("GotoShortcuts",
                  IsDlgButtonChecked(IDC_GOTO_SHORTCUTS) == BST_CHECKED ? 1ul : 0ul);

    // An empty folder edit means the page found no folder to show (or the
    // user chose none): the stored folder stays as it is rather than
    // becoming a folder no one can open.
    const CString folder = ItemText(IDC_TEMPLATE_FOLDER);
    if (!folder.IsEmpty())
        config.SetKey("TemplateFolder", folder.GetString());
    else
        TheLog().Warning("CPropPage::SaveSettings: no template folder to store");

    config.SetKey("TemplatesOnly",
                  IsDlgButtonChecked(IDC_TEMPLATES_ONLY) == BST_CHECKED ? 1ul : 0ul);
    config.SetKey("SingleClick", IsDlgButtonChecked(IDC_SINGLE_CLICK) == BST_CHECKED ? 1ul : 0ul);

    SaveGateways();
    return S_OK;
}
