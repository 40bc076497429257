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
// reader's. So do the elements after the first 64 of a file. A file that is
// not ASCII-based (UTF-16) is not scanned at all.
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

    bool Markup(CInput& in, COutput& rest);
    void StartTag(CInput& in, COutput& rest, int first);
    // Lifts the content of the element whose start tag was just copied;
    // false (and the input back where the content starts) when it must go
    // to the reader.
    bool Lift(CInput& in, COutput& rest, const CString& qName, LargeText treatment,
              LiftedText& record);
    const LargeElement* Find(const CString& localName) const;

    std::vector<LargeElement> m_elements;
    std::vector<std::unique_ptr<LiftedText>> m_found;
    size_t m_next = 0; // the reader's next start among the found
    CString m_source;
    CString m_restPath;
};
