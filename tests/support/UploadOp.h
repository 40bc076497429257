// A document upload (AddDocumentToRequest) sent from a request file, as an
// upload of any size goes: the document is encoded into the request file in
// one pass, as the product's requests carry it. For the engine's tests.
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
