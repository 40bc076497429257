#include "tests/support/SoapCallOp.h"

#include "shared/SoapEnvelope.h"
#include "shared/XMLDoc.h"

SoapCallOp::SoapCallOp(const char* url, const char* method, Elements elements, bool responseToFile)
    : CWebSvrOp(url), m_method(method), m_elements(std::move(elements)),
      m_responseToFile(responseToFile)
{
    m_opKind = "SoapCallOp";
    m_soapAction = SoapActionOf(method);
    m_soapBodyPath = "/soap:Envelope/soap:Body";
    m_soapFaultNode = "soap:Fault";
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
