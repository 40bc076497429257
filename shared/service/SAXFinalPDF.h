// CSAXFinalPDF: reads a DownloadSignedDocument response into a CFinalPDF.
// The result element holds the whole signed document in base64, often
// megabytes in one element; its text streams into a temporary file whose
// path the target gets when the element ends.
#pragma once

#include "shared/xml/SAXContentHandler.h"

class CFinalPDF;

class CSAXFinalPDF : public CSAXContentHandler {
public:
    static constexpr const char* kResponse = "DownloadSignedDocumentResponse";
    static constexpr const char* kResult = "DownloadSignedDocumentResult";

    explicit CSAXFinalPDF(CFinalPDF* target);

    // The response element (at any depth) pushes the target; a result
    // directly under it opens a capture element with a temporary file.
    // Everything else passes by.
    HRESULT STDMETHODCALLTYPE startElement(const wchar_t* namespaceUri, int namespaceLength,
                                           const wchar_t* localName, int localLength,
                                           const wchar_t* qName, int qLength,
                                           ISAXAttributes* attributes) override;
    // The end of the result hands the file's path to the target.
    HRESULT STDMETHODCALLTYPE endElement(const wchar_t* namespaceUri, int namespaceLength,
                                         const wchar_t* localName, int localLength,
                                         const wchar_t* qName, int qLength) override;

protected:
    ~CSAXFinalPDF() override = default;

private:
    void Start(const CString& name);
    void End(const CString& name);
};
