#include "shared/service/Protocol.h"

#include <memory>
#include <new>
#include <utility>

#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/service/OpLogin.h"
#include "shared/service/PumpedRun.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/service/WebSvrAPI.h"

CProtocol::~CProtocol()
{
    Disconnect();
}

HRESULT CProtocol::Connect(const char* url)
{
    CServiceGlobals& globals = ServiceGlobals();
    if (!globals.api) {
        globals.api = new (std::nothrow) CWebSvrAPI("Inkstave/1.2");
        if (!globals.api) {
            TheLog().Error("CProtocol::Connect: Out of Memory!");
            return E_OUTOFMEMORY;
        }
    }
    if (!globals.api->Open()) {
        TheLog().Error("CProtocol::Connect: Failed to Open the API");
        return E_FAIL;
    }
    globals.api->m_serviceUrl = url;
    return S_OK;
}

void CProtocol::Disconnect()
{
    // The process's API was made by Connect and goes here.
    std::unique_ptr<CWebSvrAPI> api(std::exchange(ServiceGlobals().api, nullptr));
    if (api)
        api->Close();
}

HRESULT CProtocol::ConnectForLogin()
{
    CString url;
    HRESULT hr = CConfig().GetServiceUrl(url, "services/gateway.asmx");
    return FAILED(hr) ? hr : Connect(url);
}

HRESULT CProtocol::Login(CCredentials& credentials)
{
    CLogBlock block("CProtocol::Login");
    HRESULT hr = ConnectForLogin();
    if (FAILED(hr))
        return hr;

    auto login = std::make_unique<OpLogin>(ServiceGlobals().api->GetServiceUrl());
    login->m_credentials = credentials;
    // The caller waits for the answer, its thread does not: its windows
    // go on painting however long the service, a proxy or a retried
    // connect take.
    CPumpedRun run(m_owner);
    const int succeeded = run.Run(*login);
    if (run.Quit())
        return E_ABORT;
    hr = login->GetErrorCode();
    // A run that failed without saying why is still a failure.
    if (!succeeded && SUCCEEDED(hr))
        hr = E_FAIL;
    return hr;
}
