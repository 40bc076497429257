#include "shared/service/OpGetLink.h"

#include "shared/service/SoapEnvelope.h"

namespace {
constexpr const char* kMethod = "GetMaintenanceLink";
}

OpGetLink::OpGetLink(const char* serviceUrl) : OpQuillet(serviceUrl)
{
    static const char* const kTexts[6] = {"Preparing Data",           "Connecting to Quillet",
                                          "Getting Maintenance Link", "Receiving Response",
                                          "Confirming Result",        "Maintenance Link Received"};
    Describe("OpGetLink", kMethod, kTexts);
}

HRESULT OpGetLink::WriteRequest()
{
    HRESULT hr = PutHeadAndFileId(kMethod, "pstr_APICode", "pstr_FileID");
    if (SUCCEEDED(hr))
        hr = Put(SoapEnvelopeTail(kMethod));
    return hr;
}

int OpGetLink::ParseResponse()
{
    return TakeResult(kMethod, m_result);
}
