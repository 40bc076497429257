// BuildSendDocsXml: the "senddocs" description of a send that the gateway
// plug-ins get: the receipt link, the subject, the recipients with their
// kind and the documents, as one line of XML without declaration.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

class OpSendDoc;

// The markup characters of every text are escaped (and characters beyond
// ASCII written as references), so a subject with "&" or "<" reaches the
// gateway as well-formed XML. link may be null. 0, E_POINTER or E_OUTOFMEMORY.
HRESULT BuildSendDocsXml(const OpSendDoc* request, const char* link, CString& xml);
