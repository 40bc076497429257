// Small conversions the tests share: ASCII text to UTF-16, the text a
// VARIANT holds, and a VARIANT_BOOL.
#pragma once

#include <string>

#include <windows.h>
#include <oleauto.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"

// ASCII only (the tests' paths and generated texts): each char becomes one
// UTF-16 unit.
inline std::wstring Widen(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

// A VT_BSTR's text, embedded nulls included; "<not a string>" otherwise.
inline std::wstring WideOf(const VARIANT& value)
{
    if (value.vt != VT_BSTR)
        return L"<not a string>";
    return std::wstring(value.bstrVal ? value.bstrVal : L"", SysStringLen(value.bstrVal));
}

// A VT_BSTR's text in the ANSI code page, as the system's own code reads it.
inline std::string NarrowOf(const VARIANT& value)
{
    return CBstr::ToNarrow(value.bstrVal, SysStringLen(value.bstrVal)).str();
}

inline CVariant Bool(bool flag)
{
    CVariant value;
    value.vt = VT_BOOL;
    value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
}
