#include "shared/service/OpReqStat.h"

#include "shared/service/SoapEnvelope.h"
#include "shared/xml/XMLDoc.h"

namespace {
constexpr const char* kMethod = "GetFileStatus";
}

OpReqStat::OpReqStat(const char* serviceUrl) : CWebSvrOp(serviceUrl)
{
    static const char* const kTexts[6] = {"Preparing Data",    "Connecting to Quillet",
                                          "Requesting Status", "Receiving Response",
                                          "Confirming Result", "Status Received"};
    Describe("OpReqStat", kMethod, kTexts);
}

int OpReqStat::PrepareData()
{
    if (!PrepRxFile())
        return 0;
    m_requestBody = SoapEnvelopeHead(kMethod) +
                    SoapElement("pstr_APICode", m_credentials.m_accountId) +
                    SoapElement("pstr_FileID", m_fileId) + SoapEnvelopeTail(kMethod);
    return 1;
}

int OpReqStat::ParseResponse()
{
    CXMLDoc& document = *m_responseDoc;
    // The result is an XML text of its own; it becomes the document read on.
    CString result;
    HRESULT hr = OkOrFailure(document.GotoNode("GetFileStatusResponse"));
    if (hr == S_OK)
        hr = OkOrFailure(document.GotoNode("GetFileStatusResult"));
    if (hr == S_OK)
        hr = OkOrFailure(document.GetSingleNodeValue(result));
    if (hr == S_OK)
        hr = OkOrFailure(document.LoadString(result));
    if (hr == S_OK)
        hr = OkOrFailure(document.GotoNode("File"));
    if (hr == S_OK)
        hr = OkOrFailure(document.GotoNode("Document"));
    if (hr == S_OK)
        hr = OkOrFailure(document.GetSingleNodeValue("DocumentID", m_documentId));
    if (hr == S_OK)
        hr = OkOrFailure(document.GotoNode(".."));
    long signers = 0;
    if (hr == S_OK)
        hr = OkOrFailure(document.LoadNodesByName("Signer"));
    if (hr == S_OK)
        hr = OkOrFailure(document.GetNodeCount(&signers));
    long signedCount = 0;
    for (long index = 0; hr == S_OK && index < signers; ++index) {
        hr = OkOrFailure(document.GotoNodeAt(index));
        CString signedText;
        if (hr == S_OK)
            hr = OkOrFailure(document.GetSingleNodeValue("Signed", signedText));
        if (hr == S_OK && signedText == "1")
            ++signedCount;
    }
    if (hr == S_OK && signers > 0)
        m_envStat.m_percentSigned = static_cast<int>(signedCount * 100 / signers);
    m_errorCode = hr;
    return hr == S_OK ? 1 : 0;
}
