#include "shared/service/OpAddDoc.h"

#include "shared/requests/BodyPart.h"
#include "shared/log/DebugLog.h"
#include "shared/service/SoapEnvelope.h"

OpAddDoc::OpAddDoc(const char* serviceUrl) : OpQuillet(serviceUrl)
{
    static const char* const kTexts[6] = {
        "Preparing Data",     "Connecting to Quillet", "Uploading Document: %lu of %lu bytes",
        "Receiving Response", "Confirming Result",     "Document Added"};
    Describe("OpAddDoc", "AddDocumentToRequest", kTexts);
}

const char* OpAddDoc::MethodFor(const CBodyPart& part)
{
    if (part.m_documentType == "Informative")
        return "AddInstructionalDocumentToRequest";
    if (part.m_documentType == "Reference")
        return "AddReferenceDocumentToRequest";
    return "AddDocumentToRequest";
}

int OpAddDoc::PrepareData()
{
    CLogBlock block("OpAddDoc::PrepareData");
    return OpQuillet::PrepareData();
}

void OpAddDoc::LogFailure(const char* text)
{
    TheLog().Error(text);
}

HRESULT OpAddDoc::CheckInputs()
{
    if (!m_document) {
        TheLog().Error("NULL m_pBodyPart");
        return E_INVALIDARG;
    }
    m_method = MethodFor(*m_document);
    m_soapAction = SoapActionOf(m_method);
    return S_OK;
}

HRESULT OpAddDoc::WriteRequest()
{
    HRESULT hr = PutHeadAndFileId(m_method, "pstr_APICode", "pstr_FileID");
    if (SUCCEEDED(hr))
        hr = Put("<m:pbyt_File>");
    if (SUCCEEDED(hr))
        hr = PutBase64(m_document, true);
    if (SUCCEEDED(hr))
        hr = Put("</m:pbyt_File>\n");
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_FileName", m_document->m_fileName);
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_Title", m_document->m_fileName);
    if (SUCCEEDED(hr))
        hr = Put(SoapEnvelopeTail(m_method));
    return hr;
}

int OpAddDoc::ParseResponse()
{
    return TakeResult(m_method, m_result);
}
