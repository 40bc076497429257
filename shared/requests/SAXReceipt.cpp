#include "shared/requests/SAXReceipt.h"

#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

#include "classlib/com/Barrier.h"
#include "classlib/com/CComPtr.h"
#include "shared/log/DebugLog.h"
#include "shared/requests/Receipt.h"
#include "shared/xml/Base64Coder.h"

namespace {

// A value element, the container it must stand in and the atom it gives.
struct ValueElement {
    const char* element;
    const char* parent;
    const char* atom;
};

// pstr_FileName stands in either operation; its atom depends on which.
constexpr const char* kFileName = "pstr_FileName";
constexpr const char* kFileBytes = "pbyt_File";

constexpr ValueElement kValueElements[] = {
    {"pstr_Signers", CSAXReceipt::kCreateRequest, CReceiptAtom::kSigners},
    {"pstr_SecondSigners", CSAXReceipt::kCreateRequest, CReceiptAtom::kSecondSigners},
    {"pstr_CCs", CSAXReceipt::kCreateRequest, CReceiptAtom::kCCs},
    {"pstr_EmailMessage", CSAXReceipt::kCreateRequest, CReceiptAtom::kEmailMessage},
    {kFileBytes, CSAXReceipt::kAddDocument, CReceiptAtom::kDocBytes},
    {"FileID", CSAXReceipt::kResults, CReceiptAtom::kFileID},
    {"Link", CSAXReceipt::kResults, CReceiptAtom::kLink},
    {"ReceiptSubject", CSAXReceipt::kResults, CReceiptAtom::kReceiptSubject},
    {"ReceiptCategory", CSAXReceipt::kResults, CReceiptAtom::kReceiptCategory},
};

// Documents one receipt may hold. A request has a document to sign and
// perhaps a few more; a file with more than this is not one the agent
// wrote, and each would be decoded into a file of its own.
constexpr int kMaxDocuments = 64;

int FindValueIndex(const CString& name)
{
    for (size_t i = 0; i < std::size(kValueElements); ++i) {
        if (name == kValueElements[i].element)
            return static_cast<int>(i);
    }
    return -1;
}

const ValueElement* FindValueElement(const CString& name)
{
    const int index = FindValueIndex(name);
    return index >= 0 ? &kValueElements[index] : nullptr;
}

// Takes the documents out of the newest count atoms (their files go with
// them); the other atoms stay, in their order.
void DropNewDocuments(CReceipt& receipt, size_t count)
{
    std::vector<std::unique_ptr<CReceiptAtom>> kept;
    for (size_t i = 0; i < count; ++i) {
        std::unique_ptr<CReceiptAtom> atom = receipt.TakeHeadAtom();
        if (!atom)
            break;
        if (!(atom->m_name == CReceiptAtom::kDocBytes))
            kept.push_back(std::move(atom));
    }
    for (auto it = kept.rbegin(); it != kept.rend(); ++it)
        (void)receipt.AddAtom(std::move(*it));
}

bool IsContainer(const CString& name)
{
    return name == CSAXReceipt::kRoot || name == CSAXReceipt::kCreateRequest ||
           name == CSAXReceipt::kAddDocument || name == CSAXReceipt::kResults;
}

} // namespace

CSAXReceipt::CSAXReceipt(CReceipt* target) : CSAXContentHandler(target) {}

HRESULT CSAXReceipt::ReadFile(const char* path, CReceipt& receipt)
{
    CLogBlock block("CSAXReceipt::ReadFile");
    if (!path)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    try {
        receipt.SetFilePath(path);
        const size_t before = receipt.GetAtoms().size();
        // Our own reference, to ask the reader afterwards what it refused.
        CComPtr<CSAXReceipt> reader(new CSAXReceipt(&receipt));
        hr = RunSaxParse(path, reader.Get());
        if (SUCCEEDED(hr))
            hr = reader->m_failure;
        if (FAILED(hr))
            DropNewDocuments(receipt, receipt.GetAtoms().size() - before);
    } catch (...) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr))
        TheLog().HResult("CSAXReceipt::ReadFile", hr);
    return hr;
}

std::vector<LargeElement> CSAXReceipt::LargeElements() const
{
    return {{kFileBytes, LargeText::Decode}};
}

CReceipt& CSAXReceipt::Receipt() const
{
    return *static_cast<CReceipt*>(GetTarget());
}

HRESULT CSAXReceipt::startElement(const wchar_t*, int, const wchar_t* localName, int localLength,
                                  const wchar_t* qName, int qLength, ISAXAttributes*)
{
    // Whatever was not captured is simply missing from the target.
    return CatchAtEdge("CSAXReceipt::startElement", S_OK, [&] {
        ++m_depth;
        Start(ElementName(localName, localLength, qName, qLength));
        return S_OK;
    });
}

HRESULT CSAXReceipt::endElement(const wchar_t*, int, const wchar_t* localName, int localLength,
                                const wchar_t* qName, int qLength)
{
    // Whatever was not captured is simply missing from the target.
    return CatchAtEdge("CSAXReceipt::endElement", S_OK, [&] {
        End(ElementName(localName, localLength, qName, qLength));
        if (m_documentDepth > 0 && m_depth <= m_documentDepth)
            EndDocument();
        --m_depth;
        return S_OK;
    });
}

void CSAXReceipt::Refuse(const char* why)
{
    TheLog().Error(why);
    if (SUCCEEDED(m_failure))
        m_failure = E_FAIL;
}

void CSAXReceipt::Start(const CString& name)
{
    // Markup inside a value is not part of it: its text is dropped and the
    // value's own text on either side is kept whole ("a@x.com<b>x</b>;b"
    // gives "a@x.com;b"). A placeholder on the stack swallows it.
    if (m_stack.IsTopOwned()) {
        m_stack.PushOwned(std::make_unique<CXMLElem>(name));
        return;
    }
    if (IsContainer(name)) {
        PushTarget(name);
        if (name == kCreateRequest)
            ++m_createRequestDepth;
        if (name == kResults && ++m_resultsBlocks == 2)
            TheLog().Warning("CSAXReceipt: a second Results block is passed over; the first "
                             "stands");
        return;
    }
    CXMLElem* parent = nullptr;
    CXMLElem* capture = nullptr;
    const bool inCreateRequest =
        m_createRequestDepth > 0 && Receipt().m_elementName == kCreateRequest;
    if (name == kFileName) {
        const char* container = inCreateRequest ? kCreateRequest : kAddDocument;
        if (PushTextElement(container, kFileName, &parent, &capture) != S_OK)
            return;
    } else if (const ValueElement* entry = FindValueElement(name)) {
        if (std::string_view(entry->parent) == kCreateRequest && !inCreateRequest)
            return;
        if (name == kFileBytes && m_documents >= kMaxDocuments) {
            if (m_documents++ == kMaxDocuments)
                Refuse("CSAXReceipt: more documents than a receipt holds");
            return;
        }
        if (PushTextElement(entry->parent, entry->element, &parent, &capture) != S_OK)
            return;
    } else {
        return;
    }
    Receipt().CaptureText().Empty();
    capture->m_textTarget = &Receipt().CaptureText();
    if (name == kFileBytes) {
        ++m_documents;
        // A document runs to megabytes of base64: it goes to disk, not memory
        // (lifted out of the file and decoded on the way, as a rule).
        if (FAILED(OpenFileCapture(*capture)))
            TheLog().Error("CSAXReceipt: no temporary file for the document bytes");
    }
}

void CSAXReceipt::End(const CString& name)
{
    CSAXStack::Entry entry = PopNamed(name);
    if (!entry)
        return;
    if (!entry.get_deleter().owned) {
        // The receipt leaves the stack: a container ended.
        if (name == kCreateRequest && m_createRequestDepth > 0)
            --m_createRequestDepth;
        return;
    }
    // Captures read into the scratch text; a placeholder has no target.
    if (entry->m_textTarget && (name == kFileName || FindValueElement(name)))
        AddValue(name, *entry);
}

void CSAXReceipt::AddValue(const CString& element, CXMLElem& capture)
{
    CReceipt& receipt = Receipt();
    CString value;
    const char* atomName = nullptr;
    if (element == kFileName) {
        atomName = receipt.m_elementName == kCreateRequest ? CReceiptAtom::kSubject
                                                           : CReceiptAtom::kDocName;
        value = receipt.CaptureText();
    } else if (element == kFileBytes) {
        atomName = CReceiptAtom::kDocBytes;
        // Closed first, so that the decoder reads it whole.
        capture.m_tempFile.reset();
        const LiftedText* lifted = TakeLifted(capture);
        if (capture.m_tempPath.IsEmpty())
            return;
        HRESULT hr = S_OK;
        if (lifted && lifted->base64) {
            value = capture.m_tempPath; // decoded as it was lifted
        } else {
            if (!lifted)
                hr = CXMLIO::DecodeFileToTemp(capture.m_tempPath, nullptr, value);
            else
                hr = E_FAIL;
            DeleteFileA(capture.m_tempPath);
        }
        capture.m_tempPath.Empty();
        if (FAILED(hr)) {
            Refuse("CSAXReceipt: document bytes that are not base64");
            return;
        }
    } else {
        const int index = FindValueIndex(element);
        const ValueElement& entry = kValueElements[index];
        atomName = entry.atom;
        value = receipt.CaptureText();
        if (std::string_view(entry.parent) == kResults) {
            // One request has one file ID, one link: a second block (or a
            // repeated value) cannot replace or add to what the first said.
            if (m_resultsBlocks > 1)
                return;
            if (m_resultsTaken & (1u << index)) {
                CString text;
                text.Format("CSAXReceipt: a second %s is passed over; the first stands",
                            element.GetString());
                TheLog().Warning(text);
                return;
            }
            m_resultsTaken |= 1u << index;
        }
        if (std::string_view(atomName) == CReceiptAtom::kEmailMessage) {
            Base64Coder coder;
            if (!coder.DecodeText(value)) {
                Refuse("CSAXReceipt: a message that is not base64");
                return;
            }
            value = CString(reinterpret_cast<const char*>(coder.GetDecoded()),
                            static_cast<int>(coder.GetDecodedLength()));
        }
    }
    auto atom = std::make_unique<CReceiptAtom>(atomName, "", value);
    if (element == kFileBytes)
        atom->OwnFile();
    if (std::string_view(atomName) == CReceiptAtom::kDocName || element == kFileBytes) {
        HoldDocumentValue(std::move(atom), element == kFileBytes);
        return;
    }
    (void)receipt.AddAtom(std::move(atom));
}

void CSAXReceipt::HoldDocumentValue(std::unique_ptr<CReceiptAtom> atom, bool bytes)
{
    // The value's own element has ended; the one that holds it is one up.
    const int holder = m_depth - 1;
    if (m_documentDepth > 0 && m_documentDepth != holder)
        EndDocument();
    m_documentDepth = holder;
    std::unique_ptr<CReceiptAtom>& slot = bytes ? m_heldBytes : m_heldName;
    if (slot) {
        // One document has one name and one file; the first stands (and a
        // second file is deleted with its atom).
        TheLog().Warning(bytes ? "CSAXReceipt: a document's second bytes are passed over"
                               : "CSAXReceipt: a document's second name is passed over");
        return;
    }
    slot = std::move(atom);
}

void CSAXReceipt::EndDocument()
{
    m_documentDepth = 0;
    std::unique_ptr<CReceiptAtom> name = std::move(m_heldName);
    std::unique_ptr<CReceiptAtom> bytes = std::move(m_heldBytes);
    if (!name || !bytes) {
        TheLog().Warning(name ? "CSAXReceipt: a document without its bytes is left out"
                              : "CSAXReceipt: document bytes without a name are left out");
        return; // a file read for it goes with its atom
    }
    CReceipt& receipt = Receipt();
    (void)receipt.AddAtom(std::move(bytes));
    (void)receipt.AddAtom(std::move(name));
}
