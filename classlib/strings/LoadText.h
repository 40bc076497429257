// A text of the module's string table, or the caller's fallback when the
// table lacks it: a module built without the table (a test program, a
// deliverable that carries only part of it) still says what it means.
#pragma once

#include "classlib/strings/CString.h"

inline CString LoadText(UINT id, const char* fallback = "")
{
    CString text;
    if (!text.LoadString(id) || text.IsEmpty())
        text = fallback ? fallback : "";
    return text;
}
