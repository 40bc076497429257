#include "shared/service/OpParam.h"

#include "shared/service/SoapEnvelope.h"

namespace {
constexpr const char* kMethod = "SetSignatureRequestParameters";
}

OpParam::OpParam(const char* serviceUrl) : OpQuillet(serviceUrl)
{
    static const char* const kTexts[6] = {"Preparing Data",     "Connecting to Quillet",
                                          "Setting Parameters", "Receiving Response",
                                          "Confirming Result",  "Parameters Set"};
    Describe("OpSetParams", kMethod, kTexts);
}

HRESULT OpParam::WriteRequest()
{
    HRESULT hr = PutHeadAndFileId(kMethod, "p_ApiCode", "p_FileID");
    if (SUCCEEDED(hr))
        hr = PutElement("p_XMLContent", "<?xml version='1.0' encoding='UTF-8' ?><file><parameter "
                                        "name='maskemailsfromclient' value='true' /></file>");
    if (SUCCEEDED(hr))
        hr = Put(SoapEnvelopeTail(kMethod));
    return hr;
}

int OpParam::ParseResponse()
{
    CString result;
    m_errorCode = ReadResult(kMethod, result);
    if (SUCCEEDED(m_errorCode) && result != "SUCCESS")
        m_errorCode = E_FAIL;
    return SUCCEEDED(m_errorCode) ? 1 : 0;
}
