#include "shared/service/OpInvite.h"

#include "shared/service/SoapEnvelope.h"

namespace {
constexpr const char* kMethod = "InviteSigners";
}

OpInvite::OpInvite(const char* serviceUrl) : OpQuillet(serviceUrl)
{
    static const char* const kTexts[6] = {"Preparing Data",    "Connecting to Quillet",
                                          "Inviting Signers",  "Receiving Response",
                                          "Confirming Result", "Signers Invited"};
    Describe("OpInvite", kMethod, kTexts);
}

HRESULT OpInvite::WriteRequest()
{
    HRESULT hr = PutHeadAndFileId(kMethod, "pstr_APICode", "pstr_FileID");
    if (SUCCEEDED(hr))
        hr = Put("<m:pstr_EmailMessage>");
    if (SUCCEEDED(hr))
        hr = PutBase64(m_messagePart, false);
    if (SUCCEEDED(hr))
        hr = Put("</m:pstr_EmailMessage>\n");
    if (SUCCEEDED(hr))
        hr = Put(SoapEnvelopeTail(kMethod));
    return hr;
}

int OpInvite::ParseResponse()
{
    CString result;
    m_errorCode = ReadResult(kMethod, result);
    if (SUCCEEDED(m_errorCode) && result != "SUCCESS")
        m_errorCode = E_FAIL;
    return SUCCEEDED(m_errorCode) ? 1 : 0;
}
