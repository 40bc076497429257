// The per-target pieces of a broadcast: the recipient lists of the target's
// request, its tails with the role placeholders filled, and the upload
// method its operation file names. Everything written is XML-escaped here,
// from the plain texts the request files give when read.
#pragma once

#include <map>
#include <string>
#include <windows.h>

#include "classlib/strings/CString.h"
#include "shared/service/WireLimits.h"

class OpAddDoc;

// role text -> the name that fills "[role]".
using CRoleMap = std::map<std::string, std::string>;

struct CRecipientLists {
    CString signers;
    CString secondSigners;
    CString ccs;
};

// The largest tail rewritten in memory: a tail holds the invitation's text
// (in base64) and the envelope's end, and no request but an upload is sent
// larger than this. A longer tail fails with kTailTooLarge.
constexpr DWORD kMaxTailBytes = static_cast<DWORD>(CWireLimits::kSmallRequestBytes);
constexpr HRESULT kTailTooLarge = static_cast<HRESULT>(0x80030111); // STG_E_DOCFILETOOLARGE

// The lists as the broadcast has them, with the target's address added to
// the second signers for tier "2" and to the signers for any other tier.
CRecipientLists ListsForTarget(const CRecipientLists& read, const CString& email,
                               const CString& tier);
// The "Recips" piece of a target's request.
CString RecipsPiece(const CRecipientLists& lists);
// Fills the invitation's text that a tail of the create or invite request
// carries (in base64, as the request carries a document): every "[role]"
// of the target's own role, then of each map entry, becomes the name, in
// the text the service decodes. Everything else stays byte for byte, the
// whole tail when no placeholder is there.
CString FillRoles(const CString& tail, const CString& role, const CString& name,
                  const CRoleMap& map);
// Reads the tail at tailPath, fills its roles and writes the result into a
// new temporary file, whose path goes to newPath. 0, kTailTooLarge, or
// E_FAIL (the tail could not be read or the new file written).
HRESULT RewriteTail(const char* tailPath, const CString& role, const CString& name,
                    const CRoleMap& map, CString& newPath);
// Writes text into a new ".xml" file of the temporary folder. 0 or E_FAIL.
HRESULT WriteNewPieceFile(const CString& text, CString& path);

// The operation keeps the SOAPAction text and calls the method it names.
void SelectAddDocMethod(const char* soapAction, OpAddDoc& op);
