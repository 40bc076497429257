// SaveMsgCopy: a sent mail kept as a ".msg" file in the product's "Sent
// Items" folder and embedded into another item (a receipt task). The copy
// is named after the subject, made safe as a file name, with a unique part
// that keeps two copies of one subject apart.
#pragma once

#include <string>

#include <windows.h>
#include <oaidl.h>

// Saves mail as "<Sent Items>\<subject> (<unique>).msg" and adds that file
// to target's attachments as an embedded item at position + 1, named
// displayName. The file stays in the folder. The folder's failure (E_FAIL),
// E_POINTER for a null item, SaveAs's failure (no file then stays), else
// the result of adding the attachment.
HRESULT SaveMsgCopy(IDispatch* target, IDispatch* mail, const char* displayName,
                    const char* subject, long position);

// The subject as the start of a file name: the characters Windows forbids
// in one replaced ("/" by "-", the others by blanks), blanks trimmed at
// both ends and dots at the end, a device name (CON, LPT1, ...) before the
// first dot kept from being one, and at most maxLength UTF-16 units.
std::wstring MsgFileSubject(const std::wstring& subject, size_t maxLength);
