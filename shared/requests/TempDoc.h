// CTempDoc: a document of a template or request: the one to sign, a
// reference document or additional information.
#pragma once

#include "shared/xml/XMLIO.h"

class CTempDoc : public CXMLElem {
public:
    static constexpr int kPlain = 0;
    static constexpr int kKeyIsName = 1;
    static constexpr int kEmbedded = 2;

    CTempDoc() : CXMLElem("Document") {}
    CTempDoc(const CTempDoc& other) : CXMLElem("Document") { *this = other; }
    // Copies the record fields; the copy never owns the embedded-bytes file.
    CTempDoc& operator=(const CTempDoc& other);
    // Removes the embedded-bytes file when this record still owns it.
    ~CTempDoc() override;

    // The reader makes the embedded-bytes file; until the document is filed
    // into a template nobody else knows the file, so a document dropped on
    // the way (unknown type, replaced, parse aborted) takes it along.
    void OwnEmbeddedFile(bool own) { m_ownsEmbedded = own; }
    bool OwnsEmbeddedFile() const { return m_ownsEmbedded; }

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

private:
    bool m_ownsEmbedded = false;
};
