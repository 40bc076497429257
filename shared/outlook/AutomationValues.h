// Small helpers for late-bound calls into Outlook: the argument VARIANTs
// they pass (none owns what it points to, so a text argument only borrows
// its BSTR from a holder that outlives the call), the tests for an object
// answer and for one object behind two pointers, and puts of a number or a
// narrow text.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"
#include "shared/outlook/Dispatcher.h"

namespace automation {

// Outlook answers "nothing there" with a null object or with no value at all.
inline bool IsObject(const VARIANT& value)
{
    return value.vt == VT_DISPATCH && value.pdispVal;
}

// Whether two interfaces are of one object (COM's identity rule).
inline bool SameObject(IUnknown* a, IUnknown* b)
{
    if (!a || !b)
        return a == b;
    CComPtr<IUnknown> first;
    CComPtr<IUnknown> second;
    return SUCCEEDED(a->QueryInterface(IID_IUnknown, first.PutVoid())) &&
           SUCCEEDED(b->QueryInterface(IID_IUnknown, second.PutVoid())) && first == second.Get();
}

inline VARIANT LongArg(long value)
{
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = value;
    return arg;
}

inline VARIANT BoolArg(bool value)
{
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BOOL;
    arg.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return arg;
}

inline VARIANT BorrowedTextArg(BSTR text)
{
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = text;
    return arg;
}

inline HRESULT PutLong(IDispatch* object, const wchar_t* name, long value)
{
    CVariant arg(value);
    return CDispatcher::PutProp(object, name, &arg);
}

// The text is converted from the process code page.
inline HRESULT PutText(IDispatch* object, const wchar_t* name, const char* text)
{
    CVariant arg(text);
    return CDispatcher::PutProp(object, name, &arg);
}

} // namespace automation
