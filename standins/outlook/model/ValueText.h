// The text form of the values items keep, in the mailbox file and the
// ".msg" stand-in: independent of the user's locale so a file reads the
// same everywhere. Texts as they are; numbers in C notation; yes/no as
// "true"/"false"; dates (local time, as Outlook keeps them) as
// "2026-12-10 14:05:00"; currency with four decimals.
#pragma once

#include <string>

#include <windows.h>
// after windows.h, which it needs
#include <oleauto.h>

#include "classlib/com/CVariant.h"

namespace standin {

// False for a type without a text form here.
bool ValueToText(const VARIANT& value, std::wstring& text);
// The text read as type; false when it is not one.
bool TextToValue(const std::wstring& text, VARTYPE type, CVariant& value);

// A VT_BSTR variant holding the text.
CVariant TextVariant(const std::wstring& text);
// The OLE date of the date and time; the local time now.
double MakeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
double Now();

// The text without the spaces and tabs around it.
std::wstring Trimmed(const std::wstring& text);

} // namespace standin
