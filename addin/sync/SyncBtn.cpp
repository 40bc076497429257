#include "addin/sync/SyncBtn.h"

#include <memory>
#include <new>

#include "addin/core/AddinProtocol.h"
#include "addin/core/CommandRun.h"
#include "addin/sync/DlgSync.h"
#include "classlib/com/HResult.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/service/Protocol.h"
#include "shared/service/ServiceGlobals.h"

CSyncBtn::CSyncBtn(UINT captionId, UINT faceId, UINT maskId) : CCmdBtn(captionId, faceId, maskId) {}

BOOL CSyncBtn::CanClick()
{
    const AddinCommand running = CCommandRun::Running();
    if (running != AddinCommand::kNone) {
        ShowRefusal(running);
        return FALSE;
    }
    return !IsOffline(TRUE);
}

void CSyncBtn::ShowRefusal(AddinCommand running)
{
    CString message;
    message.LoadString(CCommandRun::RefusalTextId(running, AddinCommand::kSync));
    ShowError(0, message);
}

HRESULT CSyncBtn::OnClick()
{
    CLogBlock block("CSyncBtn::OnClick");
    // Held to the command's end: the dialog uses the connection made below,
    // which no other command may reconnect or let go of meanwhile.
    CCommandRun run(AddinCommand::kSync);
    if (!run.Taken()) {
        ShowRefusal(CCommandRun::Running());
        return S_OK;
    }
    if (IsOffline(TRUE))
        return S_OK;
    HRESULT hr = S_OK;
    try {
        IDispatch* application = GetApplication();
        if (!application)
            ThrowHResult(E_INVALIDARG, "no application");
        CVariant explorer;
        THROW_IF_FAILED(GetProp(application, L"ActiveExplorer", explorer.Put()));
        if (explorer.vt != VT_DISPATCH || !explorer.pdispVal)
            ThrowHResult(E_FAIL, "no explorer");
        // Held here, so it goes on every way out of the command.
        std::unique_ptr<CDlgSync> dialog(new (std::nothrow) CDlgSync(
            ServiceGlobals().api, CDispatcher::GetOwnerWindow(application, explorer.pdispVal)));
        if (!dialog)
            ThrowHResult(E_OUTOFMEMORY, "new CDlgSync");
        THROW_IF_FAILED(dialog->LoadExplorer(application, explorer.pdispVal));

        THROW_IF_FAILED(EnsureAddinProtocol(application));
        THROW_IF_FAILED(FireUpProtocol(nullptr));
        CProtocol* protocol = ServiceGlobals().protocol;
        // The user cancelling the login (kUserCancelled) is no failing
        // HRESULT, yet ends the command all the same.
        const HRESULT login = protocol->Login(dialog->m_credentials);
        if (login != S_OK)
            ThrowHResult(login, "Login");
        CString url;
        THROW_IF_FAILED(CConfig().GetServiceUrl(url, nullptr));
        protocol->Disconnect();
        THROW_IF_FAILED(protocol->Connect(url));

        dialog->SetApi(ServiceGlobals().api);
        dialog->DoModal();
    } catch (const CHResultError& failure) {
        hr = failure.hr;
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (hr != S_OK)
        TheLog().HResult("CSyncBtn::OnClick", hr);
    return hr;
}
