// CSAXFinalPDF: reads a DownloadSignedDocument response into a CFinalPDF.
// The result element holds the whole signed document in base64, often
// megabytes in one element; its text goes to a file of its own (lifted out
// of the response before the XML reader sees it, see LargeTextScanner.h),
// whose path the target gets when the element ends.
//
// Only a SOAP answer counts: the result is taken where the service puts
// it, Envelope/Body/DownloadSignedDocumentResponse/DownloadSignedDocumentResult,
// and nowhere else (not inside a fault's detail, not in a page that merely
// holds such elements). A fault directly in the body is noted with its code
// and string, and every result at that place is counted, so that the
// operation can judge the answer.
#pragma once

#include "shared/xml/SAXContentHandler.h"

class CFinalPDF;

class CSAXFinalPDF : public CSAXContentHandler {
public:
    static constexpr const char* kResponse = "DownloadSignedDocumentResponse";
    static constexpr const char* kResult = "DownloadSignedDocumentResult";
    static constexpr const char* kFault = "Fault";
    // The SOAP 1.1 envelope's namespace, which Envelope, Body and Fault carry.
    static constexpr const wchar_t* kSoapNamespace = L"http://schemas.xmlsoap.org/soap/envelope/";

    explicit CSAXFinalPDF(CFinalPDF* target);

    // The response element in the body pushes the target; a result directly
    // under it opens a capture element with a file. A fault in the body
    // pushes the target under its name, and its faultcode and faultstring
    // are captured as text. Everything else passes by.
    HRESULT STDMETHODCALLTYPE startElement(const wchar_t* namespaceUri, int namespaceLength,
                                           const wchar_t* localName, int localLength,
                                           const wchar_t* qName, int qLength,
                                           ISAXAttributes* attributes) override;
    // The end of the result hands the file's path to the target.
    HRESULT STDMETHODCALLTYPE endElement(const wchar_t* namespaceUri, int namespaceLength,
                                         const wchar_t* localName, int localLength,
                                         const wchar_t* qName, int qLength) override;

    std::vector<LargeElement> LargeElements() const override { return Lifted(); }
    static std::vector<LargeElement> Lifted() { return {{kResult, LargeText::Copy}}; }

protected:
    ~CSAXFinalPDF() override = default;

private:
    CFinalPDF& Target() const;
    void Start(const CString& name, bool soap);
    void End(const CString& name);

    // Elements open, and how many of them are the answer's own path:
    // 1 Envelope, 2 Body, 3 the response or the fault.
    int m_depth = 0;
    int m_onPath = 0;
};
