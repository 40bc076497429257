// CLargeTextScanner: takes the text of the elements that carry documents in
// base64 (a signed copy, an embedded template document, a receipt's
// document) out of an XML file before the XML reader sees it. MSXML's reader
// holds such a text whole, several times over, and takes time worse than
// linear in its length (under Wine it refuses texts over 10 MB in some
// layouts); this scanner streams it from the file to its own file at disk
// speed, and the reader is given the rest of the file, where the element
// stands empty.
//
// The scanner follows the markup (comments, CDATA sections, processing
// instructions, quoted attribute values) so that it sees exactly the
// elements the reader will report, in the same order. It lifts the text of
// an element of a large name only when its start tag has no attributes and
// its content is plain base64 text: characters of the alphabet, "=",
// blanks, line ends, and character references to those (the requests write
// "+", "/" and "=" as "&#43;", "&#47;", "&#61;"). Anything else in the
// element (an entity, a comment, CDATA, a child element, another character,
// the file's end) leaves the whole element in the rest for the reader, as
// if there were no scanner: the results and errors for such files are the
// reader's. Nothing inside such an element is lifted either (its capture
// takes the text of its children). So do the elements after the first 64
// of a file. A file that is not ASCII-based (UTF-16) is not scanned at all.
//
// An answer can also be scanned as it comes off the wire, instead of from
// its file (BeginStream): the receiver hands its pieces over, and the scan
// runs on a thread of its own beside it, so the answer is read once and
// never written whole. The rest and the lifted texts are then the same as
// the scan of the answer's file would make; the rest is the only copy of
// the answer, kept even when nothing was lifted. A stream keeps a lifted
// text as it came and resolves its line ends and references after the end
// tag, so that an element that must go to the reader after all can be read
// again from its own file; it therefore lifts copied texts only.
#pragma once

#include <memory>
#include <vector>
#include <windows.h>

#include "classlib/strings/CString.h"

// What becomes of the text of a large element.
enum class LargeText {
    // Written to a file of its own as the reader would hand it over (line
    // ends as "\n", character references resolved) and checked as base64 on
    // the way.
    Copy,
    // Decoded from base64 straight into a file of its own.
    Decode,
};

struct LargeElement {
    const char* name; // the local name; any namespace prefix
    LargeText treatment;
};

// One element of a large name, in document order.
struct LiftedText {
    CString name;
    // Its text is in the file at path, and the reader sees the element
    // empty. When false the reader delivers the text itself.
    bool lifted = false;
    // The text was base64 (Copy), or decoded whole (Decode: the file holds
    // the bytes). Base64 means what Base64Coder::DecodeText accepts.
    bool base64 = false;
    CString path;
    // The capture element the reader gave the file to, and whether it took
    // the file for good (then the scanner no longer deletes it).
    const void* holder = nullptr;
    bool taken = false;
};

class CLargeTextScanner {
public:
    explicit CLargeTextScanner(std::vector<LargeElement> elements);
    CLargeTextScanner(const CLargeTextScanner&) = delete;
    CLargeTextScanner& operator=(const CLargeTextScanner&) = delete;
    // Deletes the rest file and every lifted file nobody took.
    ~CLargeTextScanner();

    // Scans source and writes the rest. Never in the way of a parse: when a
    // file cannot be scanned (unreadable, not ASCII-based, no temporary file
    // to be had) nothing is lifted and the rest is source itself.
    void Scan(const char* source);

    // Starts the scan of a stream: false (and nothing started) when its
    // thread, buffers or rest file cannot be had, or an element's text is to
    // be decoded.
    bool BeginStream();
    // For the receiver: room for the next piece, of PieceSize bytes; null
    // once the scan has stopped (it failed: EndStream says why).
    BYTE* Room();
    static constexpr size_t PieceSize() { return kStreamPiece; }
    // The room Room gave holds count bytes of the stream.
    void Put(size_t count);
    // After the last piece (complete), or to give the stream up: waits for
    // the scan's end. S_OK when the whole stream was scanned and its rest
    // and texts written; else what failed (E_ABORT for a stream given up),
    // and nothing of it is kept.
    HRESULT EndStream(bool complete);
    // The file the reader is to parse.
    const CString& RestPath() const { return m_restPath.IsEmpty() ? m_source : m_restPath; }

    // The record of the next element of this name, as the reader starts the
    // elements in document order; null for a name that is not large (or past
    // the last one the scan saw).
    LiftedText* NextStart(const CString& name);
    // The record whose file holder holds, marked as taken; null when none.
    LiftedText* Take(const void* holder);

    const std::vector<std::unique_ptr<LiftedText>>& Found() const { return m_found; }

private:
    class CInput;
    class COutput;
    struct CStream;

    static constexpr size_t kStreamPiece = 64 * 1024;
    static constexpr size_t kStreamPieces = 16;

    static DWORD WINAPI StreamProc(void* parameter);
    void ScanStream();
    // Copies the input to the rest, lifting texts on the way.
    void ScanMarkup(CInput& in, COutput& rest);
    // Forgets every lifted text and deletes its file.
    void DropLifted();
    bool Markup(CInput& in, COutput& rest);
    void StartTag(CInput& in, COutput& rest, int first);
    // Lifts the content of the element whose start tag was just copied;
    // false (and the input back where the content starts) when it must go
    // to the reader.
    bool Lift(CInput& in, COutput& rest, const CString& qName, LargeText treatment,
              LiftedText& record);
    const LargeElement* Find(const CString& localName) const;
    // A text kept as it came, as the reader would hand it over (line ends
    // as "\n", references resolved), in a new file.
    static HRESULT Resolve(const CString& from, CString& to);

    std::vector<LargeElement> m_elements;
    std::vector<std::unique_ptr<LiftedText>> m_found;
    size_t m_next = 0; // the reader's next start among the found
    int m_depth = 0;   // elements open where the scan stands
    // The depth of the large element whose content goes to the reader
    // whole; 0 while none is open.
    int m_readerFrom = 0;
    CString m_source;
    CString m_restPath;
    std::unique_ptr<CStream> m_stream;
    // A stream's text that can neither be lifted nor read again: the scan
    // of the stream has failed.
    HRESULT m_broken = S_OK;
};
