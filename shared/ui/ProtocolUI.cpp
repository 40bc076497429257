#include "shared/ui/ProtocolUI.h"

#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/ui/DlgLogin.h"
#include "shared/identity/Identity.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/service/WebSvrAPI.h"

HRESULT CProtocolUI::Login(CCredentials& credentials)
{
    CLogBlock block("CProtocolUI::Login");
    credentials.m_email.Empty();
    credentials.m_password.Empty();
    credentials.m_accountId.Empty();

    HRESULT hr = ConnectForLogin();
    if (FAILED(hr))
        return hr;

    CConfig config;
    TheLog().Comment("Fetching Credentials");
    if (config.GetCredentials(credentials) == S_OK)
        return S_OK;
    TheLog().Comment("Didn't find Credentials");

    // The window the login acts for owns its dialog; without one, the host's.
    HWND parent = GetOwner();
    if (!parent && GetHost())
        parent = CDispatcher::GetParentWindow(GetHost(), CDispatcher::kPreferEither);
    CDlgLogin dialog(ServiceGlobals().api, parent);
    CIdentity identity;
    CCredentials found = credentials;
    if (SUCCEEDED(identity.IdentifyUser("SMTP", found.m_displayName, found.m_email))) {
        credentials.m_displayName = found.m_displayName;
        credentials.m_email = found.m_email;
        dialog.m_credentials = credentials;
    }
    if (dialog.DoModal() != IDOK)
        return kUserCancelled;

    TheLog().Comment("User Logged In");
    credentials = dialog.m_credentials;
    if (dialog.m_remember) {
        TheLog().Comment("Saving Credentials");
        (void)config.SetCredentials(credentials);
    }
    return S_OK;
}
