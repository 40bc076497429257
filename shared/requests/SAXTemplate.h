// CSAXTemplate: reads a template file into a CTemplate. Documents and
// signers are built as records of their own on the stack and filed into
// the template when they end; an embedded document's base64 text streams
// into a temporary file.
#pragma once

#include <vector>

#include "shared/xml/SAXContentHandler.h"

class CTemplate;
class CTempDoc;

class CSAXTemplate : public CSAXContentHandler {
public:
    explicit CSAXTemplate(CTemplate* target);

    HRESULT STDMETHODCALLTYPE startElement(const wchar_t* namespaceUri, int namespaceLength,
                                           const wchar_t* localName, int localLength,
                                           const wchar_t* qName, int qLength,
                                           ISAXAttributes* attributes) override;
    HRESULT STDMETHODCALLTYPE endElement(const wchar_t* namespaceUri, int namespaceLength,
                                         const wchar_t* localName, int localLength,
                                         const wchar_t* qName, int qLength) override;

    // An embedded document's base64 is lifted out of the file as it is.
    std::vector<LargeElement> LargeElements() const override;

    // 0, or why the file was refused although it parsed (an embedded
    // document that is not base64).
    HRESULT GetFailure() const { return m_failure; }
    // Takes the documents this parse filed out of the template again, with
    // their embedded files: what a refused file gave must not be used.
    void DiscardFiled();

protected:
    ~CSAXTemplate() override = default;

private:
    CTemplate& Template() const;
    void Start(const CString& name);
    void End(const CString& name);
    void BindCapture(const CString& name, CXMLElem& parent, CXMLElem& capture);
    void FileDocument(std::unique_ptr<CTempDoc> document);
    void Refuse(const char* why);

    CTempDoc* m_currentDoc = nullptr;     // on the stack, owned there
    CString m_number;                     // text of the integer element being read
    std::vector<const CTempDoc*> m_filed; // documents this parse put into the template
    HRESULT m_failure = S_OK;
};
