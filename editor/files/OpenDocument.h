// Opening a template's document for the user to look at.
#pragma once

#include <vector>

#include <windows.h>

#include "classlib/strings/CString.h"

class CTempDoc;

// The copies OPEN decoded from templates' embedded bytes: each is deleted
// when the holder goes (the editor's end), so no template's document stays
// behind in the temporary folder. One a viewer still holds open may refuse.
class CDocumentCopies {
public:
    CDocumentCopies() = default;
    CDocumentCopies(const CDocumentCopies&) = delete;
    CDocumentCopies& operator=(const CDocumentCopies&) = delete;
    ~CDocumentCopies();

    void Add(const CString& path);

private:
    std::vector<CString> m_paths;
};

// True when OPEN has something of the document's own to open: the bytes a
// template file brought, or the file the user picked in this run. Never the
// bare key of a document read from a template: that is a path the
// template's author wrote (a share of another host, someone's own file).
bool CanOpenDocument(const CTempDoc& document);

// Opens the document's bytes with their registered application: a copy
// decoded from the base64 text a template file brought (named with the
// document's own extension, ".pdf" when it has none; kept in copies), else
// the file the user picked. 0; E_ACCESSDENIED for a document that
// CanOpenDocument refuses; E_INVALIDARG when the document is of no type the
// editor opens (nothing is decoded then); another failure when nothing
// opens it.
HRESULT OpenDocument(const CTempDoc& document, CDocumentCopies& copies);
