// CCall: one invoke of a stand-in member, as its handler sees it. The
// caller's positional arguments come in automation order (the last
// parameter first); here they are in the order the member declares them,
// with missing optional arguments told apart. A handler that cannot go on
// throws through Fail, and the object answers the way Office does.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <oleauto.h>

#include "classlib/com/CVariant.h"

namespace standin {

class CAutoObject;

// Thrown by handlers; answered as DISP_E_EXCEPTION carrying code, except for
// the dispatch codes about an argument, which are answered as they are.
struct CInvokeError {
    HRESULT code;
    std::wstring description;
    int argument = -1; // declaration index of the argument at fault
};

[[noreturn]] void Fail(HRESULT code, const std::wstring& description);

// What Outlook answers for an object that is not there (MAPI_E_NOT_FOUND).
// The zero-based place of a collection's 1-based index; out of bounds fails
// as Outlook does.
size_t CollectionIndex(long oneBased, size_t count);

inline constexpr HRESULT kObjectNotFound = static_cast<HRESULT>(0x8004010F);

class CCall {
public:
    CCall(const DISPPARAMS& params, WORD flags, VARIANT* result);

    WORD Flags() const { return m_flags; }
    bool IsPut() const { return (m_flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }

    // Declared arguments (for a put: the indexes, not the value).
    unsigned Count() const { return m_count; }
    // Given and not passed as "missing".
    bool Has(unsigned index) const;
    // The argument with any reference followed; fails with
    // DISP_E_PARAMNOTFOUND when it is not there.
    const VARIANT& Arg(unsigned index) const;

    // Conversions as automation does them; a value that does not convert
    // fails with DISP_E_TYPEMISMATCH naming the argument.
    std::wstring Text(unsigned index) const;
    long Long(unsigned index) const;
    bool Bool(unsigned index) const;
    // Null stands for Nothing (VT_EMPTY, VT_NULL or a null pointer).
    IDispatch* Object(unsigned index) const;
    std::wstring Text(unsigned index, const std::wstring& fallback) const;
    long Long(unsigned index, long fallback) const;
    bool Bool(unsigned index, bool fallback) const;

    // The value of a put.
    const VARIANT& Value() const;
    std::wstring ValueText() const;
    long ValueLong() const;
    bool ValueBool() const;
    IDispatch* ValueObject() const;

    // What the caller gets; ignored when it asked for nothing.
    void Return(const VARIANT& value);
    void Return(const std::wstring& text);
    void Return(const wchar_t* text) { Return(std::wstring(text)); }
    void Return(long value);
    void Return(int value) { Return(static_cast<long>(value)); }
    void ReturnBool(bool value);
    void Return(IDispatch* object);
    void Return(CAutoObject* object);
    void ReturnNothing();

    // The arguments as texts for the call log, the put value last.
    std::vector<std::wstring> Describe() const;
    static std::wstring Describe(const VARIANT& value);

private:
    const VARIANT& Raw(unsigned rgIndex) const;
    const VARIANT& Converted(const VARIANT& value, VARTYPE type, int argument,
                             CVariant& holder) const;

    const DISPPARAMS& m_params;
    WORD m_flags;
    VARIANT* m_result;
    unsigned m_count;
};

} // namespace standin
