#include "addin/core/AddinProtocol.h"

#include <new>

#include "shared/service/ServiceGlobals.h"
#include "shared/ui/ProtocolUI.h"

namespace {

// A plain pointer, not a static holder: a holder would close the service
// connection while the library unloads, inside the loader's lock, where
// WinINet must not be called. The add-in releases it at shutdown.
CProtocolUI* g_ownProtocol = nullptr;
int g_holds = 0;
bool g_releaseAsked = false;

} // namespace

HRESULT EnsureAddinProtocol(IDispatch* application)
{
    if (ServiceGlobals().protocol)
        return S_OK;
    delete g_ownProtocol;
    g_ownProtocol = new (std::nothrow) CProtocolUI(application);
    if (!g_ownProtocol)
        return E_OUTOFMEMORY;
    ServiceGlobals().protocol = g_ownProtocol;
    return S_OK;
}

void ReleaseAddinProtocol()
{
    if (g_holds > 0) {
        // Outlook shutting the add-in down from inside a command's dialog:
        // the command's request still uses the connection.
        g_releaseAsked = true;
        return;
    }
    g_releaseAsked = false;
    if (!g_ownProtocol)
        return;
    if (ServiceGlobals().protocol == g_ownProtocol)
        ServiceGlobals().protocol = nullptr;
    delete g_ownProtocol;
    g_ownProtocol = nullptr;
}

void HoldAddinProtocol()
{
    ++g_holds;
}

void LetGoAddinProtocol()
{
    if (g_holds > 0 && --g_holds == 0 && g_releaseAsked)
        ReleaseAddinProtocol();
}
