// CTempDoc: a document of a template or request: the one to sign, a
// reference document or additional information.
#pragma once

#include <memory>

#include "shared/xml/XMLIO.h"

class CTempDoc : public CXMLElem {
public:
    static constexpr int kPlain = 0;
    static constexpr int kKeyIsName = 1;
    static constexpr int kEmbedded = 2;

    CTempDoc() : CXMLElem("Document") {}
    CTempDoc(const CTempDoc& other) : CXMLElem("Document") { *this = other; }
    // Copies the record fields; the copy shares the embedded-bytes file.
    CTempDoc& operator=(const CTempDoc& other);
    ~CTempDoc() override = default;

    // The reader makes the embedded-bytes file and gives it to the document:
    // it belongs to this record and every copy made of it from now on, and
    // is removed from the disk when the last of them goes (or takes another
    // file). So a template that is discarded, a document dropped on the way
    // (unknown type, replaced, parse aborted) or a copy in a request that
    // outlived its template leaves nothing behind, and no copy is left with
    // a path to nothing.
    void TakeEmbeddedFile(const CString& path);
    // Lets go of the embedded-bytes file (removed once no copy holds it) and
    // forgets its path.
    void DropEmbeddedFile();

    // The m_stringN and m_intN fields mirror the record's layout: they keep
    // the places of fields that nothing in the system gives a meaning, so
    // the named ones stay in their order, and copies carry them along.
    CString m_key; // the file's path when the template was made
    CString m_name;
    CString m_string1;
    CString m_string2;
    CString m_embeddedPath; // temporary file holding the base64 text
    CString m_type = "Signature";
    int m_int1 = 0;
    CString m_string3;
    int m_int2 = 0;
    int m_int3 = 0;
    int m_fromTemplate = 0; // read from a template file: takes part in matching
    int m_kind = kPlain;
    // The user picked the file at the key on this machine, in this run of
    // the editor: the one document whose key Save reads (and OPEN opens).
    // A document read from a template file never is: its key is a path on
    // its author's machine, and its bytes are the embedded ones.
    bool m_browsed = false;

private:
    std::shared_ptr<const CString> m_embeddedOwner; // removes the file with its last holder
};
