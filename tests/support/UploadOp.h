// A document upload (AddDocumentToRequest) sent from a request file, as an
// upload of any size goes: the document is base64-encoded and escaped into
// the request file piece by piece. For the engine's tests and benchmark.
#pragma once

#include <string>

#include "shared/service/WebSvrOp.h"

class UploadOp : public CWebSvrOp {
public:
    UploadOp(const char* url, std::string fileId, std::string documentPath,
             std::string apiCode = "QUILLET-DEMO-0001");

    CString m_result;      // the new document's ID
    CString m_requestPath; // the request file, while it exists

protected:
    int PrepareData() override;
    int ParseResponse() override;

private:
    std::string m_fileId;
    std::string m_documentPath;
    std::string m_apiCode;
};
