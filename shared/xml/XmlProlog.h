// No document the system reads may carry a document type declaration: none
// of its files or the service's answers has one, and a DTD is how a
// document makes its reader fetch other files (external entities) or swell
// (nested entities). The readers ask MSXML to refuse DTDs, but not every
// MSXML honours the request (Wine's takes it and parses the DTD anyway), so
// they also look at the document's prolog themselves before they parse.
#pragma once

#include <string_view>
#include <windows.h>

// The HRESULT a refused document gives ("DTD is prohibited", as MSXML
// itself reports it).
inline constexpr HRESULT kXmlDtdRefused = static_cast<HRESULT>(0xC00CE584);

// True when the prolog of text (what comes before the root element: a
// byte-order mark, the XML declaration, processing instructions, comments
// and blanks) holds a declaration other than a comment. Text in UTF-16 is
// recognised by its byte-order mark or a zero byte among its first two.
// Text that ends inside its prolog is no document at all; that is left to
// the parser.
bool PrologDeclaresDtd(std::string_view text);

// The same for the file at path, which is read only as far as its prolog
// goes. S_OK, or kXmlDtdRefused (also for a prolog too long to be one of
// ours); a file that cannot be opened is left to the parser to report.
HRESULT CheckFileProlog(const char* path);
