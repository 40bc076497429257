// Opening a template's document for the user to look at.
#pragma once

#include <windows.h>

class CTempDoc;

// Opens the document's bytes with their registered application: a copy
// decoded from the base64 text a template file brought (named with the
// document's own extension, ".pdf" when it has none), else the file itself
// (a document picked from disk this session: its key). 0; E_INVALIDARG when
// the document is of no type the editor opens (nothing is decoded then);
// another failure when there are no bytes or nothing opens them.
HRESULT OpenDocument(const CTempDoc& document);
