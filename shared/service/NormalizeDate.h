// Rewrites a month/day/year date as "MM/DD/YYYY".
#pragma once

#include "classlib/strings/CString.h"

// 1 when rewritten; 0 (text unchanged) when it is empty or lacks two "/".
int NormalizeDate(CString& text);
