// How a setting is read from its registry value, whatever type it was
// stored with. The settings are written by the deliverables themselves, but
// also by administrators, policies and .reg files, and those do not always
// use the type we write. The rule, the same for every setting and every
// deliverable:
//
//   - a number setting takes a REG_DWORD (or its four bytes stored as
//     REG_BINARY, which the deliverables have always read as that number),
//     or a text (REG_SZ, REG_EXPAND_SZ) that is a plain decimal number a
//     DWORD can hold ("0", "1", "443"), the same form the defaults file uses;
//   - a text setting takes a REG_SZ or REG_EXPAND_SZ, as written;
//   - any other value (another type, a DWORD of another size, a text that
//     is no plain number) counts as missing: the lookup goes on to the
//     defaults file and then to the setting's default, and nothing that
//     fills in a missing value writes over it.
//
// So an administrator's "MakeReceipt" = "0" stays off, and a "TemplateFolder"
// stored as a number never turns into a folder named after its bytes.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

class CRegKey;

// ERROR_SUCCESS with the number; ERROR_FILE_NOT_FOUND when there is no such
// value; ERROR_DATATYPE_MISMATCH when the value holds no number by the rule
// above (value untouched in both).
LONG ReadSettingNumber(const CRegKey& key, const char* name, DWORD& value);

// ERROR_SUCCESS with the text, up to its first zero or the end of the data
// (texts may be stored without their zero); ERROR_FILE_NOT_FOUND when there
// is no such value; ERROR_DATATYPE_MISMATCH for a value that is no text;
// ERROR_MORE_DATA when the text does not fit capacity bytes with its zero.
LONG ReadSettingText(const CRegKey& key, const char* name, CString& text, DWORD capacity);
