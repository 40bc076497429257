// CSAXReceipt: reads a receipt file written by the broadcast agent into the
// atom list of a CReceipt. The file holds the request pieces the agent sent
// (SOAP envelopes around CreateSignatureRequest and AddDocumentToRequest)
// and a Results block; the reader keeps the parameters that rebuild the
// request's mail and passes over the rest of the envelope.
//
// Atoms go to the head of the list, so it holds them in the reverse of the
// order their elements end in the file: the Results values first, the
// CreateSignatureRequest parameters last.
//
// What the file carries in base64 comes out decoded: "EmailMessage" is the
// message text itself, "DocBytes" the path of a temporary file with the
// document's bytes (the atom owns it, see CReceiptAtom::TakeFile). Whoever
// uses the atoms (the receipt import) must not decode them a second time.
//
// A document's name and bytes are paired by the operation element that
// holds them, never by their order in the file: a document operation gives
// its "DocBytes" and "DocName" atoms together, next to each other (the name
// nearer the head), or, when it lacks one of them, neither (and says so in
// the log).
//
// Hostile files end with a failure, never with half-read values: base64
// that is not base64, or more documents than a receipt holds. Markup inside
// a value is dropped, its text on either side kept; of several Results
// blocks, and of a value repeated in one, the first stands.
#pragma once

#include <memory>

#include "shared/xml/SAXContentHandler.h"

class CReceipt;
class CReceiptAtom;

class CSAXReceipt : public CSAXContentHandler {
public:
    static constexpr const char* kRoot = "inkReceipt";
    static constexpr const char* kCreateRequest = "CreateSignatureRequest";
    static constexpr const char* kAddDocument = "AddDocumentToRequest";
    static constexpr const char* kResults = "Results";

    // The receipt stands for every container element: it takes the name of
    // the one last started, which is kept after that container ends.
    explicit CSAXReceipt(CReceipt* target);

    // Reads the receipt file at path into receipt, whose file path becomes
    // path. 0, E_INVALIDARG, the reader's error for a file that does not
    // parse, or E_FAIL for one refused (see above). On failure the text
    // atoms read before it stay, the documents decoded from it go.
    static HRESULT ReadFile(const char* path, CReceipt& receipt);

    // A document's base64 is lifted out of the file and decoded on the way.
    std::vector<LargeElement> LargeElements() const override;

    HRESULT STDMETHODCALLTYPE startElement(const wchar_t* namespaceUri, int namespaceLength,
                                           const wchar_t* localName, int localLength,
                                           const wchar_t* qName, int qLength,
                                           ISAXAttributes* attributes) override;
    HRESULT STDMETHODCALLTYPE endElement(const wchar_t* namespaceUri, int namespaceLength,
                                         const wchar_t* localName, int localLength,
                                         const wchar_t* qName, int qLength) override;

protected:
    ~CSAXReceipt() override = default;

private:
    CReceipt& Receipt() const;
    void Start(const CString& name);
    void End(const CString& name);
    void AddValue(const CString& element, CXMLElem& capture);
    void Refuse(const char* why);
    // A document value read: held until the element that holds it ends.
    void HoldDocumentValue(std::unique_ptr<CReceiptAtom> atom, bool bytes);
    // The element holding the document values ended: both go to the
    // receipt, or neither.
    void EndDocument();

    // The receipt keeps the name of a create-request operation after it
    // ended; its parameters count only while one is open, so that a
    // document operation the reader does not know cannot pass its file name
    // off as the mail's subject. Counted, so that a nested one ending does
    // not close the outer one.
    int m_createRequestDepth = 0;
    int m_depth = 0; // of the element being read
    // The document values of the operation element being read, and that
    // element's depth (0: none held).
    std::unique_ptr<CReceiptAtom> m_heldName;
    std::unique_ptr<CReceiptAtom> m_heldBytes;
    int m_documentDepth = 0;
    int m_documents = 0;         // document bytes met so far
    int m_resultsBlocks = 0;     // only the first one counts
    unsigned m_resultsTaken = 0; // bit per value table row already read
    HRESULT m_failure = S_OK;    // why the file is refused although it parsed
};
