#include "standins/outlook/core/Call.h"

#include "standins/outlook/core/AutoObject.h"

namespace standin {

namespace {

bool IsMissing(const VARIANT& value)
{
    return value.vt == VT_ERROR && value.scode == DISP_E_PARAMNOTFOUND;
}

const VARIANT& Followed(const VARIANT& value)
{
    if (value.vt == (VT_VARIANT | VT_BYREF) && value.pvarVal)
        return *value.pvarVal;
    return value;
}

[[noreturn]] void FailArgument(HRESULT code, int argument)
{
    throw CInvokeError{code, L"", argument};
}

} // namespace

void Fail(HRESULT code, const std::wstring& description)
{
    throw CInvokeError{code, description};
}

size_t CollectionIndex(long oneBased, size_t count)
{
    if (oneBased < 1 || static_cast<size_t>(oneBased) > count)
        Fail(DISP_E_BADINDEX, L"Array index out of bounds.");
    return static_cast<size_t>(oneBased - 1);
}

CCall::CCall(const DISPPARAMS& params, WORD flags, VARIANT* result)
    : m_params(params), m_flags(flags), m_result(result),
      m_count(params.cArgs - (IsPut() && params.cArgs ? 1 : 0))
{}

// For a put, rgvarg[0] is the value and the indexes follow it.
const VARIANT& CCall::Raw(unsigned rgIndex) const
{
    return m_params.rgvarg[rgIndex];
}

bool CCall::Has(unsigned index) const
{
    if (index >= m_count)
        return false;
    const VARIANT& value = Followed(Raw(m_params.cArgs - 1 - index));
    return !IsMissing(value);
}

const VARIANT& CCall::Arg(unsigned index) const
{
    if (!Has(index))
        FailArgument(DISP_E_PARAMNOTFOUND, static_cast<int>(index));
    return Followed(Raw(m_params.cArgs - 1 - index));
}

const VARIANT& CCall::Converted(const VARIANT& value, VARTYPE type, int argument,
                                CVariant& holder) const
{
    VARIANT* source = const_cast<VARIANT*>(&value);
    if (FAILED(VariantChangeType(holder.Put(), source, 0, type)))
        FailArgument(DISP_E_TYPEMISMATCH, argument);
    return holder;
}

std::wstring CCall::Text(unsigned index) const
{
    CVariant holder;
    const VARIANT& text = Converted(Arg(index), VT_BSTR, static_cast<int>(index), holder);
    return std::wstring(text.bstrVal ? text.bstrVal : L"", SysStringLen(text.bstrVal));
}

long CCall::Long(unsigned index) const
{
    CVariant holder;
    return Converted(Arg(index), VT_I4, static_cast<int>(index), holder).lVal;
}

bool CCall::Bool(unsigned index) const
{
    CVariant holder;
    return Converted(Arg(index), VT_BOOL, static_cast<int>(index), holder).boolVal != VARIANT_FALSE;
}

IDispatch* CCall::Object(unsigned index) const
{
    const VARIANT& value = Arg(index);
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return nullptr;
    case VT_DISPATCH:
        return value.pdispVal;
    case VT_DISPATCH | VT_BYREF:
        return value.ppdispVal ? *value.ppdispVal : nullptr;
    default:
        FailArgument(DISP_E_TYPEMISMATCH, static_cast<int>(index));
    }
}

std::wstring CCall::Text(unsigned index, const std::wstring& fallback) const
{
    return Has(index) ? Text(index) : fallback;
}

long CCall::Long(unsigned index, long fallback) const
{
    return Has(index) ? Long(index) : fallback;
}

bool CCall::Bool(unsigned index, bool fallback) const
{
    return Has(index) ? Bool(index) : fallback;
}

const VARIANT& CCall::Value() const
{
    if (!IsPut() || m_params.cArgs == 0)
        FailArgument(DISP_E_PARAMNOTFOUND, -1);
    return Followed(Raw(0));
}

std::wstring CCall::ValueText() const
{
    CVariant holder;
    const VARIANT& text = Converted(Value(), VT_BSTR, -1, holder);
    return std::wstring(text.bstrVal ? text.bstrVal : L"", SysStringLen(text.bstrVal));
}

long CCall::ValueLong() const
{
    CVariant holder;
    return Converted(Value(), VT_I4, -1, holder).lVal;
}

bool CCall::ValueBool() const
{
    CVariant holder;
    return Converted(Value(), VT_BOOL, -1, holder).boolVal != VARIANT_FALSE;
}

IDispatch* CCall::ValueObject() const
{
    const VARIANT& value = Value();
    if (value.vt == VT_EMPTY || value.vt == VT_NULL)
        return nullptr;
    if (value.vt == VT_DISPATCH)
        return value.pdispVal;
    if (value.vt == (VT_DISPATCH | VT_BYREF))
        return value.ppdispVal ? *value.ppdispVal : nullptr;
    FailArgument(DISP_E_TYPEMISMATCH, -1);
}

void CCall::Return(const VARIANT& value)
{
    if (m_result)
        VariantCopy(m_result, const_cast<VARIANT*>(&value));
}

void CCall::Return(const std::wstring& text)
{
    if (!m_result)
        return;
    VariantClear(m_result);
    m_result->vt = VT_BSTR;
    m_result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!m_result->bstrVal) {
        m_result->vt = VT_EMPTY;
        Fail(E_OUTOFMEMORY, L"Out of memory");
    }
}

void CCall::Return(long value)
{
    if (!m_result)
        return;
    VariantClear(m_result);
    m_result->vt = VT_I4;
    m_result->lVal = value;
}

void CCall::ReturnBool(bool value)
{
    if (!m_result)
        return;
    VariantClear(m_result);
    m_result->vt = VT_BOOL;
    m_result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void CCall::Return(IDispatch* object)
{
    if (!m_result)
        return;
    VariantClear(m_result);
    m_result->vt = VT_DISPATCH;
    m_result->pdispVal = object;
    if (object)
        object->AddRef();
}

void CCall::Return(CAutoObject* object)
{
    Return(object ? object->Dispatch() : static_cast<IDispatch*>(nullptr));
}

void CCall::ReturnNothing()
{
    Return(static_cast<IDispatch*>(nullptr));
}

std::wstring CCall::Describe(const VARIANT& raw)
{
    const VARIANT& value = Followed(raw);
    switch (value.vt & ~VT_BYREF) {
    case VT_EMPTY:
        return L"<empty>";
    case VT_NULL:
        return L"<null>";
    case VT_ERROR:
        if (value.vt == VT_ERROR && IsMissing(value))
            return L"<missing>";
        break;
    case VT_DISPATCH: {
        IDispatch* object = value.vt & VT_BYREF ? *value.ppdispVal : value.pdispVal;
        if (!object)
            return L"<Nothing>";
        if (auto* ours = Unwrap<CAutoObject>(object))
            return L"<" + ours->Kind() + L">";
        return L"<object>";
    }
    case VT_UNKNOWN:
        return L"<object>";
    default:
        break;
    }
    CVariant text;
    if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR)))
        return L"<vt " + std::to_wstring(value.vt) + L">";
    return std::wstring(text.bstrVal, SysStringLen(text.bstrVal));
}

std::vector<std::wstring> CCall::Describe() const
{
    std::vector<std::wstring> texts;
    for (unsigned i = 0; i < m_count; ++i)
        texts.push_back(Describe(Raw(m_params.cArgs - 1 - i)));
    if (IsPut() && m_params.cArgs)
        texts.push_back(Describe(Raw(0)));
    return texts;
}

} // namespace standin
