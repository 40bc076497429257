#include "shared/service/OpLogin.h"

#include "shared/service/SoapEnvelope.h"
#include "shared/xml/XMLDoc.h"

namespace {
constexpr const char* kMethod = "GetUserInfo";
}

OpLogin::OpLogin(const char* serviceUrl) : CWebSvrOp(serviceUrl)
{
    static const char* const kTexts[6] = {"Preparing Data",    "Connecting to Quillet",
                                          "Requesting Login",  "Receiving Response",
                                          "Confirming Result", "User Logged In"};
    Describe("OpLogin", kMethod, kTexts);
}

int OpLogin::PrepareData()
{
    if (!PrepRxFile())
        return 0;
    // The password is not sent: the account ID (the API code) and the
    // e-mail identify the user.
    m_requestBody = SoapEnvelopeHead(kMethod) +
                    SoapElement("pstr_APICode", m_credentials.m_accountId) +
                    SoapElement("pstr_Email", m_credentials.m_email) + SoapEnvelopeTail(kMethod);
    return 1;
}

int OpLogin::ParseResponse()
{
    CXMLDoc& response = *m_responseDoc;
    HRESULT hr = response.GotoNode("GetUserInfoResponse");
    CString result;
    if (hr == S_OK)
        hr = response.GetSingleNodeValue("GetUserInfoResult", result);
    if (hr == S_OK) {
        CXMLDoc account;
        hr = account.LoadString(result);
        if (hr == S_OK)
            hr = account.GotoNode("/User");
    }
    m_errorCode = OkOrFailure(hr);
    return m_errorCode == S_OK ? 1 : 0;
}
