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
    if (m_shown)
        m_shown->Forget();
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

HWND CPropPage::OwnerWindow() const
{
    // Applied while its window is gone (another tab in front), the page
    // still speaks over its container's window.
    if (m_hWnd)
        return m_hWnd;
    CComPtr<IOleWindow> site;
    HWND window = nullptr;
    if (IOleClientSite* client = GetClientSiteNow();
        client && SUCCEEDED(client->QueryInterface(IID_IOleWindow, site.PutVoid())) && site)
        site->GetWindow(&window);
    return window;
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

void CPropPage::Shown::Forget()
{
    SecureZeroMemory(password.GetBuffer(0), password.GetLength());
    password.Empty();
}

CPropPage::Shown CPropPage::LoadShown()
{
    CConfig config;
    Shown shown;
    CCredentials credentials;
    if (SUCCEEDED(config.GetCredentials(credentials))) {
        shown.email = credentials.m_email;
        shown.password = credentials.m_password;
        shown.accountId = credentials.m_accountId;
        SecureZeroMemory(credentials.m_password.GetBuffer(0), credentials.m_password.GetLength());
    }
    shown.makeReceipt = config.GetMakeReceipt() == 1;
    shown.showReceipt = config.GetShowReceipt() == 1;
    // Whatever "Generate receipts" shows, its follower starts enabled.
    shown.showReceiptEnabled = true;
    shown.gotoShortcuts = config.GetGotoShortcuts() == 1;
    shown.locked = config.GetLockTemplates() != 0;
    if (FAILED(config.GetTemplateFolder(shown.folder)))
        shown.folder.Empty();
    shown.templatesOnly = config.GetTemplatesOnly() == 1;
    shown.singleClick = config.GetSingleClick() == 1;
    return shown;
}

void CPropPage::PresentShown(const Shown& shown)
{
    SetDlgItemTextA(m_hWnd, IDC_USERNAME, shown.email);
    SetDlgItemTextA(m_hWnd, IDC_PASSWORD, shown.password);
    SetDlgItemTextA(m_hWnd, IDC_ACCOUNT_ID, shown.accountId);

    CheckDlgButton(IDC_MAKE_RECEIPT, shown.makeReceipt ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_SHOW_RECEIPT, shown.showReceipt ? BST_CHECKED : BST_UNCHECKED);
    GetDlgItem(IDC_SHOW_RECEIPT).EnableWindow(shown.showReceiptEnabled);
    CheckDlgButton(IDC_GOTO_SHORTCUTS, shown.gotoShortcuts ? BST_CHECKED : BST_UNCHECKED);

    SetDlgItemTextA(m_hWnd, IDC_TEMPLATE_FOLDER, shown.folder);
    if (shown.locked)
        GetDlgItem(IDC_TEMPLATE_FOLDER).EnableWindow(FALSE);
    CheckDlgButton(IDC_TEMPLATES_ONLY, shown.templatesOnly ? BST_CHECKED : BST_UNCHECKED);
    if (shown.locked)
        GetDlgItem(IDC_TEMPLATES_ONLY).EnableWindow(FALSE);
    CheckDlgButton(IDC_SINGLE_CLICK, shown.singleClick ? BST_CHECKED : BST_UNCHECKED);
    GetDlgItem(IDC_SINGLE_CLICK).EnableWindow(shown.templatesOnly && !shown.locked);
}

CPropPage::Shown CPropPage::ReadShown() const
{
    Shown shown;
    shown.email = ItemText(IDC_USERNAME);
    shown.password = ItemText(IDC_PASSWORD);
    shown.accountId = ItemText(IDC_ACCOUNT_ID);
    shown.makeReceipt = IsDlgButtonChecked(IDC_MAKE_RECEIPT) == BST_CHECKED;
    shown.showReceipt = IsDlgButtonChecked(IDC_SHOW_RECEIPT) == BST_CHECKED;
    shown.showReceiptEnabled = ::IsWindowEnabled(::GetDlgItem(m_hWnd, IDC_SHOW_RECEIPT)) != FALSE;
    shown.gotoShortcuts = IsDlgButtonChecked(IDC_GOTO_SHORTCUTS) == BST_CHECKED;
    shown.folder = ItemText(IDC_TEMPLATE_FOLDER);
    shown.templatesOnly = IsDlgButtonChecked(IDC_TEMPLATES_ONLY) == BST_CHECKED;
    shown.singleClick = IsDlgButtonChecked(IDC_SINGLE_CLICK) == BST_CHECKED;
    shown.locked = m_shown && m_shown->locked;
    return shown;
}

void CPropPage::KeepShown()
{
    if (!m_initialised || !m_hWnd)
        return;
    Shown now = ReadShown();
    if (m_shown)
        m_shown->Forget();
    m_shown = std::move(now);
}

BOOL CPropPage::OnInitDialog()
{
    CLogBlock block("CPropPage::OnInitDialog");
    // The settings are read for the first window; a later one shows what
    // the user left in the one before.
    const bool first = !m_shown;
    if (first)
        m_shown = LoadShown();
    PresentShown(*m_shown);

    CQuillOptsApp& app = TheOptsApp();
    app.ReadVersion();
    if (!app.GetFileVersion().IsEmpty())
        SetDlgItemTextA(m_hWnd, IDC_VERSION, app.GetFileVersion());

    // Without its state images the list could not show what is enabled:
    // the page stays uninitialised, so nothing marks it dirty, and a page
    // that never loaded writes nothing.
    if (!InitGatewayList()) {
        if (first) {
            m_shown->Forget();
            m_shown.reset();
        }
        return -1;
    }
    FillGateways();

    m_initialised = TRUE;
    return TRUE;
}

BOOL CPropPage::OnMessage(UINT message, WPARAM, LPARAM, LRESULT&)
{
    // The window goes (deactivated, or its container's window went): what
    // it shows is kept, and nothing it sends on its way out is a change of
    // the user's. The next window loads without marking the page dirty.
    if (message == WM_DESTROY) {
        KeepShown();
        m_initialised = FALSE;
        m_gatewayList = nullptr;
    }
    return FALSE;
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
    KeepShown();
    // A page never shown has nothing the user chose: writing its empty
    // fields would wipe the stored settings.
    if (!m_shown) {
        TheLog().Warning("CPropPage::SaveSettings: the page was never loaded; nothing written");
        return S_FALSE;
    }
    const Shown& shown = *m_shown;
    CConfig config;

    // The stored credentials are rewritten only when the user changed one
    // of them: the edits show them in the ANSI code page, so an untouched
    // password with a letter that page lacks would come back as "?".
    if (m_credentialsChanged) {
        CCredentials credentials;
        credentials.m_email = shown.email;
        credentials.m_password = shown.password;
        credentials.m_accountId = shown.accountId;
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
            ::MessageBoxA(OwnerWindow(), text, "Quillet", MB_OK | MB_ICONEXCLAMATION);
            return E_INVALIDARG;
        }
        m_credentialsChanged = false;
    }

    config.SetKey("MakeReceipt", shown.makeReceipt ? 1ul : 0ul);
    config.SetKey("ShowReceipt", shown.showReceipt ? 1ul : 0ul);
    config.SetKey("GotoShortcuts", shown.gotoShortcuts ? 1ul : 0ul);

    // An empty folder edit means the page found no folder to show (or the
    // user chose none): the stored folder stays as it is rather than
    // becoming a folder no one can open.
    if (!shown.folder.IsEmpty())
        config.SetKey("TemplateFolder", shown.folder.GetString());
    else
        TheLog().Warning("CPropPage::SaveSettings: no template folder to store");

    config.SetKey("TemplatesOnly", shown.templatesOnly ? 1ul : 0ul);
    config.SetKey("SingleClick", shown.singleClick ? 1ul : 0ul);

    SaveGateways();
    return S_OK;
}
