// The one escape table behind every XML text the system writes: request
// bodies, request pieces, template and receipt files, and the diagnostic log.
//
// Escaped text is plain ASCII and loses nothing: a character of the upper
// half of the ANSI code page becomes the decimal reference of the character
// it stands for there ("é" in Windows-1252 is "&#233;", "€" is "&#8364;"),
// so it reads back the same whatever the file declares (UTF-8 for the SOAP
// bodies and the request files, ISO-8859-1 for templates and receipts).
// Only control characters that XML 1.0 cannot hold are dropped.
#pragma once

#include <string>
#include <string_view>

#include "classlib/strings/CString.h"
#include "classlib/win32/CFile.h"

// What becomes of one byte on its own: null keeps it as it is, "" drops it,
// anything else replaces it. A byte of the upper half gives the reference of
// the character it stands for alone in the ANSI code page (a lead byte of a
// double-byte code page only means something with its trail byte: see
// XmlEscapeNext).
const char* XmlEscapeEntry(unsigned char byte);

// Appends the escaped form of the character that starts text to out and
// returns how many bytes of text it took: 1, or 2 for a double-byte
// character of the ANSI code page; 0 only for empty text.
size_t XmlEscapeNext(std::string_view text, std::string& out);

// Replaces text by its escaped form.
void XmlEscape(CString& text);
CString XmlEscaped(std::string_view text);
inline CString XmlEscaped(const char* text)
{
    return XmlEscaped(std::string_view(text ? text : ""));
}

// Markup escaping only, for the free texts of the files declared
// ISO-8859-1 (template fields, whose punctuation is kept as typed): "&", "<"
// and ">" become entities, characters above 127 references as above, and
// control characters XML cannot hold are dropped; the rest stays.
CString XmlMarkupEscaped(std::string_view text);

// Writes the escaped contents of source (from its current position) into a
// new temporary file opened in destination, then rewinds destination. When
// no temporary file can be made destination stays closed.
void XmlEscapeFile(CFile& source, CFile& destination);
