// The one escape table behind every XML text the system writes: request
// bodies, request pieces, template and receipt files, and the diagnostic log.
#pragma once

#include <string_view>

#include "classlib/strings/CString.h"
#include "classlib/win32/CFile.h"

// What becomes of one byte: null keeps it as it is, "" drops it, anything
// else replaces it.
const char* XmlEscapeEntry(unsigned char byte);

// Replaces text by its escaped form.
void XmlEscape(CString& text);
CString XmlEscaped(std::string_view text);
inline CString XmlEscaped(const char* text)
{
    return XmlEscaped(std::string_view(text ? text : ""));
}

// Writes the escaped contents of source (from its current position) into a
// new temporary file opened in destination, then rewinds destination. When
// no temporary file can be made destination stays closed.
void XmlEscapeFile(CFile& source, CFile& destination);
