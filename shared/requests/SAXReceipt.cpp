#include "shared/requests/SAXReceipt.h"

#include <memory>
#include <new>
#include <string_view>

#include "shared/xml/Base64Coder.h"
#include "classlib/com/Barrier.h"
#include "shared/log/DebugLog.h"
#include "shared/requests/Receipt.h"

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

const ValueElement* FindValueElement(const CString& name)
{
    for (const ValueElement& entry : kValueElements) {
        if (name == entry.element)
            return &entry;
    }
    return nullptr;
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
        hr = RunSaxParse(path, new CSAXReceipt(&receipt));
    } catch (...) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr))
        TheLog().HResult("CSAXReceipt::ReadFile", hr);
    return hr;
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
        return S_OK;
    });
}

void CSAXReceipt::Start(const CString& name)
{
    Receipt().CaptureText().Empty();
    if (IsContainer(name)) {
        PushTarget(name);
        if (name == kCreateRequest)
            m_createRequestOpen = true;
        return;
    }
    CXMLElem* parent = nullptr;
    CXMLElem* capture = nullptr;
    const bool inCreateRequest = m_createRequestOpen && Receipt().m_elementName == kCreateRequest;
    if (name == kFileName) {
        const char* container = inCreateRequest ? kCreateRequest : kAddDocument;
        if (PushTextElement(container, kFileName, &parent, &capture) != S_OK)
            return;
    } else if (const ValueElement* entry = FindValueElement(name)) {
        if (std::string_view(entry->parent) == kCreateRequest && !inCreateRequest)
            return;
        if (PushTextElement(entry->parent, entry->element, &parent, &capture) != S_OK)
            return;
    } else {
        return;
    }
    capture->m_textTarget = &Receipt().CaptureText();
    if (name == kFileBytes) {
        // A document runs to megabytes of base64: it goes to disk, not memory.
        capture->m_captureAsText = 0;
        if (FAILED(capture->CreateTempFile()))
            TheLog().Error("CSAXReceipt: no temporary file for the document bytes");
    }
}

void CSAXReceipt::End(const CString& name)
{
    if (name == kCreateRequest)
        m_createRequestOpen = false;
    CSAXStack::Entry entry = PopNamed(name);
    if (!entry || !entry.get_deleter().owned)
        return; // the receipt only leaves the stack
    if (name == kFileName || FindValueElement(name))
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
        if (capture.m_tempPath.IsEmpty())
            return;
        const HRESULT hr = CXMLIO::DecodeFileToTemp(capture.m_tempPath, nullptr, value);
        DeleteFileA(capture.m_tempPath);
        capture.m_tempPath.Empty();
        if (FAILED(hr)) {
            TheLog().HResult("CSAXReceipt: document bytes not decoded", hr);
            return;
        }
    } else {
        const ValueElement* entry = FindValueElement(element);
        atomName = entry->atom;
        value = receipt.CaptureText();
        if (std::string_view(atomName) == CReceiptAtom::kEmailMessage) {
            Base64Coder coder;
            if (!coder.DecodeText(value))
                throw std::bad_alloc();
            value = CString(reinterpret_cast<const char*>(coder.GetDecoded()),
                            static_cast<int>(coder.GetDecodedLength()));
        }
    }
    auto atom = std::make_unique<CReceiptAtom>(atomName, "", value);
    if (FAILED(receipt.AddAtom(std::move(atom)))) {
        if (element == kFileBytes)
            DeleteFileA(value);
    }
}
