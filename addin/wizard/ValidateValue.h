// Checks of the values the user types into the wizard's template values,
// and the options of a value that offers a choice.
#pragma once

#include <windows.h>

class CKeywordValue;

// Nonzero when the value is acceptable for the row: no pattern or no value,
// the prompt itself, a "List" row, a "Date" row holding a real
// month/day/year date (then rewritten as "MM/DD/YYYY"), or a value that
// matches the row's pattern (a pattern with "@" stands for an e-mail
// address; a pattern that does not parse lets anything through). A value
// that does not match shows the row's error message (owned by parent),
// or beeps when it has none.
int ValidateValue(CKeywordValue& value, HWND parent = nullptr);

// Appends the ";"-separated parts of text to the row's options: "a;b;c"
// gives a, b and c; "a;;b" an empty option between; a closing ";" no empty
// last option.
void SplitOptions(CKeywordValue& value, const char* text);
