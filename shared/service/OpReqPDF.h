// OpReqPDF: DownloadSignedDocument, the signed copy of one document. The
// response (the whole PDF in base64) is streamed from its file into the
// signed document's own file, never held in memory.
#pragma once

#include <memory>

#include "shared/config/Credentials.h"
#include "shared/service/FinalPDF.h"
#include "shared/service/WebSvrOp.h"

class OpReqPDF : public CWebSvrOp {
public:
    explicit OpReqPDF(const char* serviceUrl);

    CCredentials m_credentials;
    CString m_fileId;
    CString m_documentId;
    // The signed document after a successful run; null before.
    std::unique_ptr<CFinalPDF> m_finalPdf;

protected:
    int PrepareData() override;
    // Only a SOAP answer with exactly one result, at its place, that is a
    // document: a fault says no (its string is the error text, whatever
    // else the answer holds), a result that begins "ERROR:" after any blanks
    // is the service's error report (the error text), and anything else
    // (no result, two, an empty one, one that is not base64) fails.
    int ParseResponse() override;
    // The signed copy's text is lifted out of the answer as it comes.
    std::vector<LargeElement> AnswerLargeElements() const override
    {
        return CFinalPDF::LargeElements();
    }

private:
    HRESULT Judge(const CFinalPDF& answer);
};
