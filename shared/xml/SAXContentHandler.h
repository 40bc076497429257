// The frame the SAX readers share. Template files, receipt files and the
// signed-document response are streamed through MSXML's SAX reader so that a
// document of many megabytes of base64 goes to a file, never to memory.
//
// A reader derives from CSAXContentHandler, keeps the elements it cares
// about on a CSAXStack, opens capture elements with PushTextElement and lets
// the base route character data. RunSaxParse runs one file through it.
#pragma once

#include <functional>
#include <memory>
#include <vector>
#include <windows.h>

// After windows.h, whose types it uses.
#include <msxml2.h>

#include "classlib/com/CComObject.h"
#include "classlib/strings/CString.h"
#include "classlib/strings/CTypedPtrList.h"
#include "shared/xml/LargeTextScanner.h"
#include "shared/xml/XMLIO.h"

// MinGW's import libraries carry none of these; the values are MSXML 3.0's.
extern const CLSID kClsidSAXXMLReader;
extern const IID kIidSAXXMLReader;
extern const IID kIidSAXContentHandler;
extern const IID kIidSAXErrorHandler;

// The two handler interfaces' IIDs for CComObject's table (the compiler's
// headers declare none).
__CRT_UUID_DECL(ISAXContentHandler, 0x1545CDFA, 0x9E4E, 0x4497, 0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11,
                0x2C, 0x44)
__CRT_UUID_DECL(ISAXErrorHandler, 0xA60511C4, 0xCCF5, 0x479E, 0x98, 0xA3, 0xDC, 0x8D, 0xC5, 0x45,
                0xB7, 0xD0)

// The open elements a handler cares about; the top is the innermost. Each
// entry knows whether the handler made it (a capture element, a record that
// is still to be filed) or only refers to it (the target, which may stand
// for several nested containers and is never deleted here).
class CSAXStack {
public:
    // An element taken off the stack. Letting it go deletes the element only
    // when the stack owned it; release() hands an owned one on.
    struct EntryDeleter {
        bool owned = false;
        void operator()(CXMLElem* element) const
        {
            if (owned)
                delete element;
        }
    };
    using Entry = std::unique_ptr<CXMLElem, EntryDeleter>;

    CSAXStack() = default;
    CSAXStack(const CSAXStack&) = delete;
    CSAXStack& operator=(const CSAXStack&) = delete;
    // Whatever a parse left behind is abandoned (see Abandon).
    ~CSAXStack();

    // Both may throw std::bad_alloc; an owned element is deleted then.
    void PushBorrowed(CXMLElem* element);
    void PushOwned(std::unique_ptr<CXMLElem> element);

    // Null when empty.
    CXMLElem* Top() const;
    bool IsTopOwned() const;
    bool IsEmpty() const { return m_entries.IsEmpty(); }
    int GetCount() const { return m_entries.GetCount(); }

    // Takes the top off (an empty entry when there is none).
    Entry Pop();

    // Empties the stack after a parse that stopped before the ends of these
    // elements (a fatal error mid-document). Owned elements are deleted; a
    // temporary file that is still open was being filled and nobody took its
    // path, so it is closed and removed. Borrowed elements are left alone.
    void Abandon();

private:
    struct Slot {
        CXMLElem* element;
        bool owned;
    };
    CTypedPtrList<Slot> m_entries{Ownership::Owned};
};

// The content handler base. Its target (not owned) is the record being
// filled. Created with a count of 0; the reader holds the lasting references
// and the handler deletes itself with the last Release. It answers for
// IUnknown and ISAXContentHandler only.
class CSAXContentHandler : public CComObject<ISAXContentHandler> {
public:
    static constexpr int kPieceChars = 4096;

    explicit CSAXContentHandler(CXMLElem* target) : m_target(target) {}

    // ISAXContentHandler. Everything but characters does nothing here; the
    // readers override startElement and endElement.
    HRESULT STDMETHODCALLTYPE putDocumentLocator(ISAXLocator* locator) override;
    HRESULT STDMETHODCALLTYPE startDocument() override;
    HRESULT STDMETHODCALLTYPE endDocument() override;
    HRESULT STDMETHODCALLTYPE startPrefixMapping(const wchar_t* prefix, int prefixLength,
                                                 const wchar_t* uri, int uriLength) override;
    HRESULT STDMETHODCALLTYPE endPrefixMapping(const wchar_t* prefix, int prefixLength) override;
    HRESULT STDMETHODCALLTYPE startElement(const wchar_t* namespaceUri, int namespaceLength,
                                           const wchar_t* localName, int localLength,
                                           const wchar_t* qName, int qLength,
                                           ISAXAttributes* attributes) override;
    HRESULT STDMETHODCALLTYPE endElement(const wchar_t* namespaceUri, int namespaceLength,
                                         const wchar_t* localName, int localLength,
                                         const wchar_t* qName, int qLength) override;
    // Every reader routes text the same way, so the base does it: with a text
    // target and the capture flag on the top element, the text is appended
    // to the target; else, with an open temporary file, it is written there
    // in pieces of kPieceChars characters, each converted to narrow text on
    // its own; else it is dropped (containers, unknown elements).
    HRESULT STDMETHODCALLTYPE characters(const wchar_t* text, int length) override;
    HRESULT STDMETHODCALLTYPE ignorableWhitespace(const wchar_t* text, int length) override;
    HRESULT STDMETHODCALLTYPE processingInstruction(const wchar_t* target, int targetLength,
                                                    const wchar_t* data, int dataLength) override;
    HRESULT STDMETHODCALLTYPE skippedEntity(const wchar_t* name, int length) override;

    // Opens a capture element named child when the top of the stack is named
    // parent. parent receives the top (null when the stack is empty);
    // element the new element, whose capture flag is set and which has no
    // targets yet: the caller points it somewhere. E_INVALIDARG for a null
    // out-parameter, E_FAIL (nothing pushed) when the top is not the parent,
    // E_OUTOFMEMORY.
    HRESULT PushTextElement(const char* parentName, const char* childName, CXMLElem** parent,
                            CXMLElem** element);

    // For when the reader has stopped: what is still open will never end.
    void AbandonOpenElements() { m_stack.Abandon(); }

    // Elements whose text may run to megabytes of base64: RunSaxParse lifts
    // their text out of the file before the reader sees it (see
    // LargeTextScanner.h). None here.
    virtual std::vector<LargeElement> LargeElements() const { return {}; }

    CXMLElem* GetTarget() const { return m_target; }
    const CSAXStack& GetStack() const { return m_stack; }

    // The element's local name in narrow text: the namespace prefix is not
    // part of it (taken off the qualified name should the reader give no
    // local name).
    static CString ElementName(const wchar_t* localName, int localLength, const wchar_t* qName,
                               int qLength);

protected:
    ~CSAXContentHandler() override = default;

    // The target takes the container's name and goes on the stack.
    void PushTarget(const CString& name);
    // Takes the top off only when it carries name: an element for which
    // nothing was pushed ends without effect.
    CSAXStack::Entry PopNamed(const CString& name);

    // Writes one piece of character data to an element's temporary file.
    virtual bool WritePiece(CFile& file, const wchar_t* text, int length);

    // For the capture of a large element, at its start: the capture's text
    // goes to a file. When the scan lifted the element's text, the capture
    // gets that file (its path, nothing open) and the reader delivers no
    // text; else a temporary file of its own (CXMLElem::CreateTempFile).
    HRESULT OpenFileCapture(CXMLElem& capture);
    // At the capture's end: what the scan made of its text, or null when
    // the reader delivered it. From then on the file is the caller's.
    const LiftedText* TakeLifted(const CXMLElem& capture);

    CSAXStack m_stack;

private:
    friend class CLiftingHandler;
    friend HRESULT RunSaxParse(const char* path, CSAXContentHandler* handler);
    friend HRESULT RunSaxParse(CLargeTextScanner& scanned, CSAXContentHandler* handler);

    // Parses path (the prolog checked first), through the texts of the scan
    // that scan gives (it may make it; null for none).
    HRESULT ParseThrough(const char* path, const std::function<CLargeTextScanner*()>& scan);
    void Capture(const wchar_t* text, int length);
    void WriteToTempFile(CXMLElem& element, const wchar_t* text, int length);

    CXMLElem* m_target;
    CLargeTextScanner* m_scan = nullptr; // while RunSaxParse reads a scanned file
    LiftedText* m_started = nullptr;     // the large element the reader just started
};

// The reader's error handler: errors are let pass (a fatal one ends the parse
// and parse reports it); messages go to the diagnostic log. It answers
// for IUnknown and ISAXErrorHandler only.
class CSAXErrorHandler : public CComObject<ISAXErrorHandler> {
public:
    HRESULT STDMETHODCALLTYPE error(ISAXLocator* locator, const wchar_t* message,
                                    HRESULT code) override;
    HRESULT STDMETHODCALLTYPE fatalError(ISAXLocator* locator, const wchar_t* message,
                                         HRESULT code) override;
    HRESULT STDMETHODCALLTYPE ignorableWarning(ISAXLocator* locator, const wchar_t* message,
                                               HRESULT code) override;

protected:
    ~CSAXErrorHandler() override = default;
};

// Runs the file at path through a new SAX reader with handler and a new
// error handler. Holds a reference to handler for the run, so a handler made
// with new and never referenced is gone when this returns; a caller that
// wants to look at it afterwards takes a reference of its own first. Once the
// reader has stopped, whatever is still on the handler's stack is abandoned.
// 0, or the HRESULT of the first step that failed (the reader's parse error
// for a file that does not parse, kXmlDtdRefused of XmlProlog.h, before any
// parsing, for one with a DTD); E_INVALIDARG for a null argument.
HRESULT RunSaxParse(const char* path, CSAXContentHandler* handler);
// The same for a stream the scanner has read already (see LargeTextScanner.h,
// BeginStream): the reader parses its rest, and the handler is given the
// texts it lifted. The scan is to have looked for the handler's large
// elements.
HRESULT RunSaxParse(CLargeTextScanner& scanned, CSAXContentHandler* handler);
