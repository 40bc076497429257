#include "shared/xml/SAXContentHandler.h"

#include <new>
#include <shlwapi.h>
#include <utility>

#include "classlib/com/Barrier.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"
#include "shared/log/DebugLog.h"
#include "shared/xml/XmlProlog.h"

const CLSID kClsidSAXXMLReader = {
    0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};
const IID kIidSAXXMLReader = {
    0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
const IID kIidSAXContentHandler = {
    0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};
const IID kIidSAXErrorHandler = {
    0xA60511C4, 0xCCF5, 0x479E, {0x98, 0xA3, 0xDC, 0x8D, 0xC5, 0x45, 0xB7, 0xD0}};

namespace {

// The reader may live in any kind of server.
constexpr DWORD kAnyServer =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
static_assert(kAnyServer == 23);

bool IsHighSurrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Closes an element's temporary file and removes it: its contents are not
// what the document held, so nobody may take its path.
void DiscardTempFile(CXMLElem& element)
{
    element.m_tempFile.reset();
    if (!element.m_tempPath.IsEmpty())
        DeleteFileA(element.m_tempPath);
    element.m_tempPath.Empty();
}

void LogReaderMessage(const char* kind, const wchar_t* message, HRESULT code)
{
    CString text;
    text.Format("SAX %s 0x%08lX: %s", kind, static_cast<unsigned long>(code),
                CBstr::ToNarrow(message).GetString());
    TheLog().Error(text);
}

} // namespace

// ---- CSAXStack ----

CSAXStack::~CSAXStack()
{
    Abandon();
}

void CSAXStack::PushBorrowed(CXMLElem* element)
{
    if (!element)
        return;
    auto slot = std::make_unique<Slot>(Slot{element, false});
    m_entries.AddHead(slot.get());
    slot.release();
}

void CSAXStack::PushOwned(std::unique_ptr<CXMLElem> element)
{
    if (!element)
        return;
    auto slot = std::make_unique<Slot>(Slot{element.get(), true});
    m_entries.AddHead(slot.get());
    slot.release();
    element.release();
}

CXMLElem* CSAXStack::Top() const
{
    const Slot* slot = m_entries.GetHead();
    return slot ? slot->element : nullptr;
}

bool CSAXStack::IsTopOwned() const
{
    const Slot* slot = m_entries.GetHead();
    return slot && slot->owned;
}

CSAXStack::Entry CSAXStack::Pop()
{
    std::unique_ptr<Slot> slot(m_entries.RemoveHead());
    if (!slot)
        return Entry();
    return Entry(slot->element, EntryDeleter{slot->owned});
}

void CSAXStack::Abandon()
{
    while (!IsEmpty()) {
        Entry entry = Pop();
        if (entry.get_deleter().owned && entry->m_tempFile)
            DiscardTempFile(*entry);
    }
}

// ---- CSAXContentHandler ----

HRESULT CSAXContentHandler::putDocumentLocator(ISAXLocator*)
{
    return S_OK;
}

HRESULT CSAXContentHandler::startDocument()
{
    return S_OK;
}

HRESULT CSAXContentHandler::endDocument()
{
    return S_OK;
}

HRESULT CSAXContentHandler::startPrefixMapping(const wchar_t*, int, const wchar_t*, int)
{
    return S_OK;
}

HRESULT CSAXContentHandler::endPrefixMapping(const wchar_t*, int)
{
    return S_OK;
}

HRESULT CSAXContentHandler::startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*,
                                         int, ISAXAttributes*)
{
    return S_OK;
}

HRESULT CSAXContentHandler::endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*,
                                       int)
{
    return S_OK;
}

HRESULT CSAXContentHandler::characters(const wchar_t* text, int length)
{
    // What could not be taken is missing from the target; the parse goes on.
    return CatchAtEdge("CSAXContentHandler::characters", S_OK, [&] {
        Capture(text, length);
        return S_OK;
    });
}

HRESULT CSAXContentHandler::ignorableWhitespace(const wchar_t*, int)
{
    return S_OK;
}

HRESULT CSAXContentHandler::processingInstruction(const wchar_t*, int, const wchar_t*, int)
{
    return S_OK;
}

HRESULT CSAXContentHandler::skippedEntity(const wchar_t*, int)
{
    return S_OK;
}

HRESULT CSAXContentHandler::PushTextElement(const char* parentName, const char* childName,
                                            CXMLElem** parent, CXMLElem** element)
{
    if (element)
        *element = nullptr;
    if (!parent || !element) {
        if (parent)
            *parent = nullptr;
        return E_INVALIDARG;
    }
    CXMLElem* top = m_stack.Top();
    *parent = top;
    if (!top || !parentName || !(top->m_elementName == parentName))
        return E_FAIL;
    try {
        auto capture = std::make_unique<CXMLElem>(childName);
        capture->m_captureAsText = 1;
        CXMLElem* pushed = capture.get();
        m_stack.PushOwned(std::move(capture));
        *element = pushed;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

CString CSAXContentHandler::ElementName(const wchar_t* localName, int localLength,
                                        const wchar_t* qName, int qLength)
{
    if (localName && localLength > 0)
        return CBstr::ToNarrow(localName, localLength);
    if (!qName || qLength <= 0)
        return CString();
    int start = qLength;
    while (start > 0 && qName[start - 1] != L':')
        --start;
    return CBstr::ToNarrow(qName + start, qLength - start);
}

void CSAXContentHandler::PushTarget(const CString& name)
{
    if (!m_target)
        return;
    m_target->m_elementName = name;
    m_stack.PushBorrowed(m_target);
}

CSAXStack::Entry CSAXContentHandler::PopNamed(const CString& name)
{
    const CXMLElem* top = m_stack.Top();
    if (!top || !(top->m_elementName == name))
        return CSAXStack::Entry();
    return m_stack.Pop();
}

bool CSAXContentHandler::WritePiece(CFile& file, const wchar_t* text, int length)
{
    return file.Write(CBstr::ToNarrow(text, length)) != FALSE;
}

HRESULT CSAXContentHandler::OpenFileCapture(CXMLElem& capture)
{
    capture.m_captureAsText = 0;
    LiftedText* lifted = m_started;
    m_started = nullptr;
    if (lifted && lifted->lifted && !lifted->holder && !lifted->taken) {
        capture.m_tempPath = lifted->path;
        lifted->holder = &capture;
        return S_OK;
    }
    return capture.CreateTempFile();
}

const LiftedText* CSAXContentHandler::TakeLifted(const CXMLElem& capture)
{
    return m_scan ? m_scan->Take(&capture) : nullptr;
}

void CSAXContentHandler::Capture(const wchar_t* text, int length)
{
    CXMLElem* top = m_stack.Top();
    if (!top || !text || length <= 0)
        return;
    if (top->m_captureAsText && top->m_textTarget) {
        *top->m_textTarget += CBstr::ToNarrow(text, length);
        return;
    }
    if (top->m_tempFile)
        WriteToTempFile(*top, text, length);
}

void CSAXContentHandler::WriteToTempFile(CXMLElem& element, const wchar_t* text, int length)
{
    // A piece at a time, so that a run of megabytes is never converted whole.
    while (length > 0) {
        int piece = length > kPieceChars ? kPieceChars : length;
        // A character outside the basic plane is two units; each half on its
        // own would convert to garbage.
        if (piece < length && IsHighSurrogate(text[piece - 1]))
            --piece;
        if (!WritePiece(*element.m_tempFile, text, piece)) {
            // A file with a hole in it would decode to a broken document;
            // better none at all.
            TheLog().LastError("CSAXContentHandler::characters: temporary file write failed");
            DiscardTempFile(element);
            return;
        }
        text += piece;
        length -= piece;
    }
}

// ---- CSAXErrorHandler ----

// The message is only for the log: the parse goes on (or ends) without it.
HRESULT CSAXErrorHandler::error(ISAXLocator*, const wchar_t* message, HRESULT code)
{
    return CatchAtEdge("CSAXErrorHandler::error", S_OK, [&] {
        LogReaderMessage("error", message, code);
        return S_OK;
    });
}

HRESULT CSAXErrorHandler::fatalError(ISAXLocator*, const wchar_t* message, HRESULT code)
{
    return CatchAtEdge("CSAXErrorHandler::fatalError", S_OK, [&] {
        LogReaderMessage("fatal error", message, code);
        return S_OK;
    });
}

HRESULT CSAXErrorHandler::ignorableWarning(ISAXLocator*, const wchar_t*, HRESULT)
{
    return S_OK;
}

// ---- Running a parse ----

// Stands in front of a reader's handler while it reads a scanned file: it
// tells the handler which large element each start is, so that the
// handler's capture finds the file the scan lifted its text into. Every
// call goes on to the handler unchanged.
class CLiftingHandler : public CComObject<ISAXContentHandler> {
public:
    explicit CLiftingHandler(CSAXContentHandler* handler) : m_handler(handler) {}

    HRESULT STDMETHODCALLTYPE putDocumentLocator(ISAXLocator* locator) override
    {
        return m_handler->putDocumentLocator(locator);
    }
    HRESULT STDMETHODCALLTYPE startDocument() override { return m_handler->startDocument(); }
    HRESULT STDMETHODCALLTYPE endDocument() override { return m_handler->endDocument(); }
    HRESULT STDMETHODCALLTYPE startPrefixMapping(const wchar_t* prefix, int prefixLength,
                                                 const wchar_t* uri, int uriLength) override
    {
        return m_handler->startPrefixMapping(prefix, prefixLength, uri, uriLength);
    }
    HRESULT STDMETHODCALLTYPE endPrefixMapping(const wchar_t* prefix, int prefixLength) override
    {
        return m_handler->endPrefixMapping(prefix, prefixLength);
    }
    HRESULT STDMETHODCALLTYPE startElement(const wchar_t* namespaceUri, int namespaceLength,
                                           const wchar_t* localName, int localLength,
                                           const wchar_t* qName, int qLength,
                                           ISAXAttributes* attributes) override
    {
        const HRESULT noted = CatchAtEdge("CLiftingHandler::startElement", S_OK, [&] {
            const CString name =
                CSAXContentHandler::ElementName(localName, localLength, qName, qLength);
            m_handler->m_started = m_handler->m_scan->NextStart(name);
            return S_OK;
        });
        (void)noted;
        const HRESULT hr = m_handler->startElement(namespaceUri, namespaceLength, localName,
                                                   localLength, qName, qLength, attributes);
        m_handler->m_started = nullptr;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE endElement(const wchar_t* namespaceUri, int namespaceLength,
                                         const wchar_t* localName, int localLength,
                                         const wchar_t* qName, int qLength) override
    {
        return m_handler->endElement(namespaceUri, namespaceLength, localName, localLength, qName,
                                     qLength);
    }
    HRESULT STDMETHODCALLTYPE characters(const wchar_t* text, int length) override
    {
        return m_handler->characters(text, length);
    }
    HRESULT STDMETHODCALLTYPE ignorableWhitespace(const wchar_t* text, int length) override
    {
        return m_handler->ignorableWhitespace(text, length);
    }
    HRESULT STDMETHODCALLTYPE processingInstruction(const wchar_t* target, int targetLength,
                                                    const wchar_t* data, int dataLength) override
    {
        return m_handler->processingInstruction(target, targetLength, data, dataLength);
    }
    HRESULT STDMETHODCALLTYPE skippedEntity(const wchar_t* name, int length) override
    {
        return m_handler->skippedEntity(name, length);
    }

protected:
    ~CLiftingHandler() override = default;

private:
    CComPtr<CSAXContentHandler> m_handler;
};

namespace {

HRESULT Parse(const char* path, ISAXContentHandler* handler)
{
    CComPtr<ISAXXMLReader> reader;
    HRESULT hr = CoCreateInstance(kClsidSAXXMLReader, nullptr, kAnyServer, kIidSAXXMLReader,
                                  reader.PutVoid());
    if (FAILED(hr)) {
        TheLog().HResult("RunSaxParse: CoCreateInstance", hr);
        return hr;
    }
    if (!reader)
        return E_NOINTERFACE;
    // No DTD and nothing fetched from elsewhere (MSXML 3 fetches external
    // entities unless told not to). A feature this MSXML lacks is no reason
    // to stop: RunSaxParse has looked at the prolog already.
    static const wchar_t* const kOff[] = {
        L"http://xml.org/sax/features/external-general-entities",
        L"http://xml.org/sax/features/external-parameter-entities"};
    for (const wchar_t* feature : kOff)
        (void)reader->putFeature(feature, VARIANT_FALSE);
    (void)reader->putFeature(L"prohibit-dtd", VARIANT_TRUE);
    hr = reader->putContentHandler(handler);
    if (FAILED(hr)) {
        TheLog().HResult("RunSaxParse: putContentHandler", hr);
        return hr;
    }
    CComPtr<CSAXErrorHandler> errors(new CSAXErrorHandler);
    hr = reader->putErrorHandler(errors.Get());
    if (FAILED(hr)) {
        TheLog().HResult("RunSaxParse: putErrorHandler", hr);
        return hr;
    }
    // A stream over the file, not its path as a URL: a "#" or "%" in a
    // folder name (a user called "C#dev", a temporary folder under it) makes
    // a URL of another file, and the reader would fail on every answer.
    CComPtr<IStream> stream;
    hr = SHCreateStreamOnFileA(path, STGM_READ | STGM_SHARE_DENY_WRITE, stream.Put());
    if (FAILED(hr)) {
        TheLog().HResult("RunSaxParse: SHCreateStreamOnFile", hr);
        return hr;
    }
    CVariant input;
    input.vt = VT_UNKNOWN;
    input.punkVal = stream.Get();
    input.punkVal->AddRef();
    hr = reader->parse(input);
    if (FAILED(hr))
        TheLog().HResult("RunSaxParse: parse", hr);
    return hr;
}

} // namespace

HRESULT RunSaxParse(const char* path, CSAXContentHandler* handler)
{
    if (!handler)
        return E_INVALIDARG;
    // Our own reference: a handler nobody referenced yet must neither leak
    // when the reader cannot be made nor die while we still use it.
    CComPtr<CSAXContentHandler> keep(handler);
    if (!path)
        return E_INVALIDARG;
    std::unique_ptr<CLargeTextScanner> scan;
    return handler->ParseThrough(path, [&scan, handler, path]() -> CLargeTextScanner* {
        std::vector<LargeElement> large = handler->LargeElements();
        if (large.empty())
            return nullptr;
        scan = std::make_unique<CLargeTextScanner>(std::move(large));
        scan->Scan(path);
        return scan.get();
    });
}

HRESULT RunSaxParse(CLargeTextScanner& scanned, CSAXContentHandler* handler)
{
    if (!handler)
        return E_INVALIDARG;
    CComPtr<CSAXContentHandler> keep(handler);
    if (scanned.RestPath().IsEmpty())
        return E_INVALIDARG;
    return handler->ParseThrough(scanned.RestPath(), [&scanned] { return &scanned; });
}

HRESULT CSAXContentHandler::ParseThrough(const char* path,
                                         const std::function<CLargeTextScanner*()>& scan)
{
    // The prolog is the document's own: a scan leaves it as it stands.
    HRESULT hr = CheckFileProlog(path);
    if (FAILED(hr)) {
        TheLog().HResult("RunSaxParse: a document with a DTD is refused", hr);
        AbandonOpenElements();
        return hr;
    }
    CComPtr<ISAXContentHandler> front(this);
    hr = CatchAtEdge("RunSaxParse", [&] {
        const char* parsed = path;
        if (CLargeTextScanner* scanned = scan()) {
            parsed = scanned->RestPath();
            m_scan = scanned;
            front = CComPtr<ISAXContentHandler>(new CLiftingHandler(this));
        }
        return Parse(parsed, front.Get());
    });
    // The reader is gone; an element it never ended never will, and a file
    // lifted for an element nobody took goes with the scan.
    AbandonOpenElements();
    m_scan = nullptr;
    m_started = nullptr;
    return hr;
}
