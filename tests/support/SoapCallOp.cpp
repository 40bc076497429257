#include "tests/support/SoapCallOp.h"

#include "shared/service/SoapEnvelope.h"
#include "shared/xml/XMLDoc.h"
#include "tests/support/StandInService.h"

SoapCallOp::SoapCallOp(const char* url, const char* method, Elements elements, bool responseToFile)
    : CWebSvrOp(url), m_method(method), m_elements(std::move(elements)),
      m_responseToFile(responseToFile)
{
    static const char* const kTexts[6] = {"Preparing", "Connecting", "Sending",
                                          "Receiving", "Reading",    "Done"};
    Describe("SoapCallOp", method, kTexts);
}

int SoapCallOp::PrepareData()
{
    if (m_responseToFile && !PrepRxFile())
        return 0;
    m_requestBody = SoapEnvelopeHead(m_method.c_str());
    for (const auto& [name, value] : m_elements)
        m_requestBody += SoapElement(name.c_str(), value.c_str());
    m_requestBody += SoapEnvelopeTail(m_method.c_str());
    return 1;
}

int SoapCallOp::ParseResponse()
{
    if (m_responseDoc->GotoNode((m_method + "Response").c_str()) != S_OK)
        return 0;
    return m_responseDoc->GetSingleNodeValue((m_method + "Result").c_str(), m_result) == S_OK;
}

SoapCallOp::Elements SoapCallOp::CreateRequestElements(const std::string& signers,
                                                       const char* fileName)
{
    return {{"pstr_APICode", standin::kDefaultApiCode},
            {"pstr_SenderEmail", standin::kDefaultEmail},
            {"pstr_SenderName", standin::kDefaultName},
            {"pstr_FileName", fileName},
            {"pstr_Signers", signers},
            {"pstr_SecondSigners", ""},
            {"pstr_CCs", ""},
            {"pstr_Cosign", "false"},
            {"pstr_SignType", "elec"},
            {"pstr_Password", ""},
            {"pstr_EmailMessage", "SGVsbG8="}};
}
