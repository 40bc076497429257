#include "shared/service/OpReqPDF.h"

#include <algorithm>

#include "classlib/win32/CFile.h"
#include "shared/log/DebugLog.h"
#include "shared/service/SoapEnvelope.h"
#include "shared/SharedResource.h"
#include "shared/xml/Base64Coder.h"

namespace {
constexpr const char* kMethod = "DownloadSignedDocument";
// How the service's error report begins where a document was expected.
constexpr const char kErrorMark[] = "ERROR:";
// As much of an error report as the error text keeps.
constexpr int kMaxErrorText = 1023;

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

// The result's text from its first non-blank character on, at most
// kMaxErrorText characters of it, without trailing blanks; empty for a
// result of blanks only (or a file that cannot be read).
CString ResultHead(const char* path)
{
    CString head;
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite))
        return head;
    char block[4096];
    bool started = false;
    for (UINT read;
         head.GetLength() < kMaxErrorText && (read = file.Read(block, sizeof block)) > 0;) {
        UINT at = 0;
        if (!started) {
            while (at < read && IsBlank(block[at]))
                ++at;
            started = at < read;
        }
        const UINT take = std::min<UINT>(read - at, kMaxErrorText - head.GetLength());
        head += CString(block + at, static_cast<int>(take));
    }
    int end = head.GetLength();
    while (end > 0 && IsBlank(head[end - 1]))
        --end;
    return head.Left(end);
}

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
    CLargeTextScanner* scanned = ScannedAnswer();
    HRESULT hr =
        scanned ? signedCopy->LoadScanned(*scanned) : signedCopy->LoadXML(m_responseFilePath);
    if (SUCCEEDED(hr))
        hr = Judge(*signedCopy);
    if (FAILED(hr)) {
        m_errorCode = hr;
        return 0;
    }
    m_finalPdf = std::move(signedCopy);
    return 1;
}

HRESULT OpReqPDF::Judge(const CFinalPDF& answer)
{
    // A refused answer says so: whoever shows the failure has no other way
    // to tell the user why no signed copy came.
    const auto unreadable = [this] {
        if (!m_errorText.LoadString(IDS_SIGNED_COPY_UNREADABLE))
            m_errorText = "The signature service's answer holds no signed copy that can be read.";
        return E_FAIL;
    };
    // A fault is the service's no, whatever else the answer holds.
    if (answer.IsFault()) {
        m_errorText = answer.GetFaultString();
        m_faultCode = answer.GetFaultCode();
        return E_FAIL;
    }
    if (answer.GetResultCount() != 1 || !answer.HasBase64File()) {
        TheLog().CommentFormatInt("OpReqPDF: %lu results where one document belongs",
                                  static_cast<long>(answer.GetResultCount()));
        return unreadable();
    }
    const CString& path = answer.GetBase64Path();
    const CString head = ResultHead(path);
    if (head.IsEmpty())
        return unreadable(); // an empty result is no document
    if (head.Find(kErrorMark) == 0) {
        m_errorText = head;
        return E_FAIL;
    }
    // Garbage saved as the PDF would only fail later, where nobody can say
    // why. A text the reader lifted out of the answer was checked on the way.
    File64Coder coder;
    if (!answer.IsBase64Checked() && !coder.IsBase64File(path)) {
        TheLog().Error("OpReqPDF: the result is not base64");
        return unreadable();
    }
    return S_OK;
}
