// The page's buttons beside the settings: the template folder chooser, the
// template editor's start and the credentials test.
#include <memory>

#include <shlobj.h>

#include "options/OptionsResource.h"
#include "options/module/QuillOptsApp.h"
#include "options/page/PropPage.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/Launcher.h"
#include "shared/service/Protocol.h"
#include "shared/service/ServiceGlobals.h"

namespace {

// The library's protocol object: made by the first credentials test and
// kept while the library is loaded, so later tests reuse it. Its connection
// lasts one test.
std::unique_ptr<CProtocol>& LibraryProtocol()
{
    static std::unique_ptr<CProtocol> protocol;
    return protocol;
}

} // namespace

void CPropPage::OnBrowseFolder()
{
    CString title;
    if (!title.LoadString(IDS_BROWSE_TITLE))
        title = "Select the Inkstave Templates Folder";
    BROWSEINFOA browse{};
    browse.hwndOwner = m_hWnd;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
    if (!chosen)
        return;
    char path[MAX_PATH] = {};
    const BOOL resolved = SHGetPathFromIDListA(chosen, path);
    CoTaskMemFree(chosen);
    // The edit's change marks the page dirty; a locked folder edit is
    // disabled, not read-only, so the choice still shows in it.
    if (resolved && path[0])
        SetDlgItemTextA(m_hWnd, IDC_TEMPLATE_FOLDER, path);
}

int CPropPage::OnEditTemplates()
{
    CLauncher launcher;
    // What became of the start is the log's business only.
    launcher.LaunchEditor(TheOptsApp().GetHelpFilePath());
    return 0;
}

void CPropPage::ShowTestResult(UINT id)
{
    CString text;
    text.LoadString(id);
    HWND result = ::GetDlgItem(m_hWnd, IDC_TEST_RESULT);
    ::SetWindowTextA(result, text);
    ::UpdateWindow(result);
}

HRESULT CPropPage::OnTestCredentials()
{
    CLogBlock block("CPropPage::OnTestCredentials");
    // The test blocks the page until the service answered: the line says
    // so before it starts.
    ShowTestResult(IDS_TEST_RUNNING);

    CCredentials credentials;
    credentials.m_email = ItemText(IDC_USERNAME);
    credentials.m_password = ItemText(IDC_PASSWORD);
    credentials.m_accountId = ItemText(IDC_ACCOUNT_ID);

    CServiceGlobals& globals = ServiceGlobals();
    if (!globals.protocol) {
        std::unique_ptr<CProtocol>& owned = LibraryProtocol();
        owned.reset(new (std::nothrow) CProtocol());
        if (!owned)
            return E_OUTOFMEMORY;
        globals.protocol = owned.get();
    }
    // Each test connects afresh, to the host the settings name now, and
    // closes its connection when it ends: the library may unload as soon
    // as its last page is gone, and WinINet must not be called while a
    // library unloads. The protocol object itself holds no handle.
    HRESULT hr = FireUpProtocol(nullptr);
    if (FAILED(hr)) {
        globals.protocol->Disconnect();
        ShowTestResult(IDS_TEST_NO_CONNECTION);
        return hr;
    }
    // The Options dialog waits for the test, disabled, and owns whatever
    // the exchange asks (a proxy's credentials).
    globals.protocol->SetOwner(m_hWnd);
    hr = globals.protocol->Login(credentials);
    globals.protocol->SetOwner(nullptr);
    globals.protocol->Disconnect();
    SecureZeroMemory(credentials.m_password.GetBuffer(0), credentials.m_password.GetLength());
    ShowTestResult(hr == S_OK ? IDS_TEST_VALID : IDS_TEST_INVALID);
    return hr;
}
