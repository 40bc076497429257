#include "shared/service/WebService.h"

#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/service/Protocol.h"
#include "shared/service/ServiceGlobals.h"

HRESULT CWebService::FireUpProtocol(const char* url)
{
    CProtocol* protocol = ServiceGlobals().protocol;
    if (!protocol)
        return E_INVALIDARG;
    CString serviceUrl(url);
    if (!url) {
        CConfig config;
        HRESULT hr = config.GetServiceUrl(serviceUrl, nullptr);
        if (FAILED(hr))
            return hr;
    }
    HRESULT hr = protocol->Connect(serviceUrl);
    if (FAILED(hr))
        TheLog().Error("CWebService::FireUpProtocol: Failed to Open the API");
    return hr;
}
