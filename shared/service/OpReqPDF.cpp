#include "shared/service/OpReqPDF.h"

#include "shared/service/SoapEnvelope.h"
#include "shared/xml/XMLDoc.h"

namespace {
constexpr const char* kMethod = "DownloadSignedDocument";
// How the service's error report begins where a document was expected.
constexpr const char kErrorMark[] = "ERROR:";
constexpr UINT kErrorMarkLength = sizeof kErrorMark - 1;
} // namespace

OpReqPDF::OpReqPDF(const char* serviceUrl) : CWebSvrOp(serviceUrl)
{
    static const char* const kTexts[6] = {"Preparing Data",    "Connecting to Quillet",
                                          "Requesting PDF",    "Receiving Response",
                                          "Confirming Result", "PDF Received"};
    Describe("OpReqPDF", kMethod, kTexts);
}

int OpReqPDF::PrepareData()
{
    if (!PrepRxFile())
        return 0;
    m_requestBody = SoapEnvelopeHead(kMethod) +
                    SoapElement("pstr_APICode", m_credentials.m_accountId) +
                    SoapElement("pstr_FileID", m_fileId) +
                    SoapElement("pstr_DocumentID", m_documentId) + SoapEnvelopeTail(kMethod);
    // The envelope is read by the streaming reader, not loaded whole.
    m_noSoapCheck = 1;
    return 1;
}

int OpReqPDF::ParseResponse()
{
    m_finalPdf.reset();
    if (!m_noSoapCheck) {
        m_errorCode = E_INVALIDARG;
        return 0;
    }
    auto signedCopy = std::make_unique<CFinalPDF>();
    HRESULT hr = signedCopy->LoadXML(m_responseFilePath);
    if (SUCCEEDED(hr) && !signedCopy->HasBase64File()) {
        // No result element: a fault, or a service that said no. The
        // response says why when it can.
        CXMLDoc response;
        CString text;
        if (response.LoadFile(m_responseFilePath) == S_OK) {
            if (response.GotoNode("/soap:Envelope/soap:Body/soap:Fault") == S_OK)
                (void)response.GetSingleNodeValue("faultstring", text);
            else if (response.GotoNode("/soap:Envelope/soap:Body/DownloadSignedDocumentResponse") ==
                     S_OK)
                (void)response.GetSingleNodeValue("DownloadSignedDocumentResult", text);
        }
        m_errorText = text;
        hr = E_FAIL;
    } else if (SUCCEEDED(hr)) {
        // A result that is the service's error report rather than a document.
        char head[sizeof kErrorMark] = {};
        CFile base64;
        if (base64.Open(signedCopy->GetBase64Path(), CFile::modeRead | CFile::shareDenyNone)) {
            const UINT read = base64.Read(head, kErrorMarkLength);
            if (read == 0) {
                hr = E_FAIL;
            } else if (read == kErrorMarkLength && CString(head) == kErrorMark) {
                base64.SeekToBegin();
                char text[1024] = {};
                base64.Read(text, sizeof text - 1);
                m_errorText = text;
                hr = E_FAIL;
            }
        } else {
            hr = E_FAIL;
        }
    }
    if (FAILED(hr)) {
        m_errorCode = hr;
        return 0;
    }
    m_finalPdf = std::move(signedCopy);
    return 1;
}
