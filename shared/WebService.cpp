#include "shared/WebService.h"

#include "shared/Config.h"
#include "shared/DebugLog.h"
#include "shared/Protocol.h"
#include "shared/ServiceGlobals.h"

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
