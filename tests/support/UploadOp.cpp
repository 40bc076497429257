#include "tests/support/UploadOp.h"

#include "shared/xml/Base64Coder.h"
#include "shared/requests/FileMgr.h"
#include "shared/service/SoapEnvelope.h"
#include "shared/xml/XMLDoc.h"
#include "shared/xml/XmlEscape.h"

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

    CFileMgr names;
    if (!names.MakeTempName(nullptr))
        return 0;
    File64Coder coder;
    const bool encoded = coder.EncodeFile(m_documentPath.c_str(), names.GetFilePath()) != 0;
    CFile base64;
    CFile escaped;
    if (encoded && base64.Open(names.GetFilePath(), CFile::modeRead))
        XmlEscapeFile(base64, escaped);
    base64.Close();
    DeleteFileA(names.GetFilePath());
    if (!escaped.IsOpen())
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
    char block[64 * 1024];
    for (UINT read; (read = escaped.Read(block, sizeof block)) > 0;)
        write(block, read);
    const CString escapedPath = escaped.GetFilePath();
    escaped.Close();
    DeleteFileA(escapedPath);
    writeText("</m:pbyt_File>\n");
    writeText(SoapElement("pstr_FileName", "doc.pdf"));
    writeText(SoapElement("pstr_Title", "doc.pdf"));
    writeText(SoapEnvelopeTail("AddDocumentToRequest"));
    m_requestFile.Reset();
    return written ? 1 : 0;
}

int UploadOp::ParseResponse()
{
    if (m_responseDoc->GotoNode("AddDocumentToRequestResponse") != S_OK)
        return 0;
    return m_responseDoc->GetSingleNodeValue("AddDocumentToRequestResult", m_result) == S_OK &&
           !m_result.IsEmpty() && m_result.Find("ERROR:") < 0;
}
