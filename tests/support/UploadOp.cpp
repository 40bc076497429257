#include "tests/support/UploadOp.h"

#include "classlib/win32/Handles.h"
#include "shared/service/SoapEnvelope.h"
#include "shared/xml/Base64Stream.h"
#include "shared/xml/XMLDoc.h"

UploadOp::UploadOp(const char* url, std::string fileId, std::string documentPath,
                   std::string apiCode)
    : CWebSvrOp(url), m_fileId(std::move(fileId)), m_documentPath(std::move(documentPath)),
      m_apiCode(std::move(apiCode))
{
    static const char* const kTexts[6] = {"Preparing", "Connecting", "Uploading",
                                          "Receiving", "Reading",    "Done"};
    Describe("UploadOp", "AddDocumentToRequest", kTexts);
}

int UploadOp::PrepareData()
{
    if (!PrepRxFile())
        return 0;
    HANDLE file = PrepTxFile(".xml");
    if (!file)
        return 0;
    m_requestPath = m_requestFilePath;

    CFileHandle source(CreateFileA(m_documentPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source.IsValid())
        return 0;

    bool written = true;
    const auto write = [file, &written](const char* text, DWORD length) {
        DWORD done = 0;
        written = written && WriteFile(file, text, length, &done, nullptr) && done == length;
    };
    const auto writeText = [&write](const CString& text) { write(text, text.GetLength()); };
    writeText(SoapEnvelopeHead("AddDocumentToRequest"));
    writeText(SoapElement("pstr_APICode", m_apiCode.c_str()));
    writeText(SoapElement("pstr_FileID", m_fileId.c_str()));
    writeText("<m:pbyt_File>");
    // As the product's requests carry a document: made in one pass, lines
    // and escapes of "+", "/" and "=" included, straight into the request.
    const bool encoded =
        written &&
        EncodeBase64Lines(source.Get(), true, [&write, &written](const char* text, size_t length) {
            write(text, static_cast<DWORD>(length));
            return written;
        });
    writeText("</m:pbyt_File>\n");
    writeText(SoapElement("pstr_FileName", "doc.pdf"));
    writeText(SoapElement("pstr_Title", "doc.pdf"));
    writeText(SoapEnvelopeTail("AddDocumentToRequest"));
    m_requestFile.Reset();
    return written && encoded ? 1 : 0;
}

int UploadOp::ParseResponse()
{
    if (m_responseDoc->GotoNode("AddDocumentToRequestResponse") != S_OK)
        return 0;
    return m_responseDoc->GetSingleNodeValue("AddDocumentToRequestResult", m_result) == S_OK &&
           !m_result.IsEmpty() && m_result.Find("ERROR:") < 0;
}
