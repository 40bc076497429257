// CVariant: owns one VARIANT and clears it when it goes.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "classlib/com/CBstr.h"

class CVariant : public VARIANT {
public:
    CVariant() { VariantInit(this); }
    explicit CVariant(const char* text)
    {
        VariantInit(this);
        vt = VT_BSTR;
        bstrVal = CBstr(text).Detach();
    }
    explicit CVariant(const wchar_t* text)
    {
        VariantInit(this);
        vt = VT_BSTR;
        bstrVal = SysAllocString(text ? text : L"");
    }
    explicit CVariant(long value)
    {
        VariantInit(this);
        vt = VT_I4;
        lVal = value;
    }
    // Takes a new reference to the dispatch pointer.
    explicit CVariant(IDispatch* dispatch)
    {
        VariantInit(this);
        vt = VT_DISPATCH;
        pdispVal = dispatch;
        if (dispatch)
            dispatch->AddRef();
    }
    CVariant(const CVariant& other)
    {
        VariantInit(this);
        VariantCopy(this, Source(other));
    }
    CVariant& operator=(const CVariant& other)
    {
        if (this != &other)
            VariantCopy(this, Source(other));
        return *this;
    }
    ~CVariant() { VariantClear(this); }

    void Clear() { VariantClear(this); }

    // Clears what is held and gives the address for an out-parameter.
    VARIANT* Put()
    {
        VariantClear(this);
        return this;
    }

    // Hands the contents to dest (which must be cleared) and empties this.
    void Detach(VARIANT* dest)
    {
        *dest = *static_cast<VARIANT*>(this);
        VariantInit(this);
    }

    // The value as narrow text, converted by VariantChangeType; false when it
    // has no text form.
    bool ToString(CString& text) const
    {
        CVariant converted;
        if (FAILED(VariantChangeType(&converted, Source(*this), 0, VT_BSTR)))
            return false;
        text = CBstr::ToNarrow(converted.bstrVal, SysStringLen(converted.bstrVal));
        return true;
    }

private:
    // MinGW declares the sources of VariantCopy and VariantChangeType
    // writable; they are only read.
    static VARIANT* Source(const VARIANT& value) { return const_cast<VARIANT*>(&value); }
};
