// CollectAttachments: which of a mail's attachments go out for signature.
// Those whose file extension the "FileTypes" setting accepts become
// documents of the request; the others are listed for the user, who may
// still send without them (CDlgBadAttach).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "classlib/strings/CString.h"

class OpSendDoc;

// Appends the mail body ("Message Body") and then one part per accepted
// attachment (by value or by reference, with a file extension FileTypes
// accepts and a display name) to the request's parts. count becomes the
// mail's number of attachments less those left out; unsupported the file
// names of those left out, joined by ",". Embedded items and OLE objects
// are neither sent nor left out, nor is an attachment Outlook cannot read;
// they stay in the count. 0, E_POINTER, E_OUTOFMEMORY (the parts made so
// far stay), or the failure to read the attachments or their number (the
// body part stays).
HRESULT CollectAttachments(IDispatch* mail, OpSendDoc* request, int& count, CString& unsupported);

// Whether a file name's extension (after its last ".") is one of fileTypes:
// "*" accepts every name with a ".", otherwise a comma-separated list of
// extensions without dots, compared as written (a listed extension's tail
// counts too: "doc" accepts "c"). A name without "." is accepted by
// nothing, an empty extension only by "*".
bool IsAcceptedFileType(const char* fileName, const CString& fileTypes);

// The name a document goes to the service under: the text after the last
// "\\", "/" or ":" of name, so that a display name such as "..\\x.pdf"
// names no place on anyone's disk. fallback's base name when that leaves
// nothing.
CString DocumentBaseName(const char* name, const char* fallback = "");

// The first attachment part of the request that saves to an empty file:
// true and its name. An attachment that cannot be saved here is not
// judged (its upload reports it).
bool FindEmptyAttachment(const OpSendDoc& request, CString& name);
