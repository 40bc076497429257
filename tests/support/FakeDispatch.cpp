#include "tests/support/FakeDispatch.h"

#include <cwchar>

#include "classlib/com/Barrier.h"

CComPtr<CFakeDispatch> CFakeDispatch::Create()
{
    return CComPtr<CFakeDispatch>(new CFakeDispatch());
}

CFakeDispatch::Member& CFakeDispatch::Define(const wchar_t* name)
{
    if (Member* member = Find(name))
        return *member;
    m_members.push_back(Member{name, 0, {}, {}, S_OK});
    return m_members.back();
}

CFakeDispatch::Member* CFakeDispatch::Find(const wchar_t* name)
{
    for (Member& member : m_members) {
        if (_wcsicmp(member.name.c_str(), name) == 0)
            return &member;
    }
    return nullptr;
}

const CFakeDispatch::Member* CFakeDispatch::Find(const wchar_t* name) const
{
    return const_cast<CFakeDispatch*>(this)->Find(name);
}

CFakeDispatch& CFakeDispatch::Prop(const wchar_t* name, const VARIANT& value, WORD accepts)
{
    Member& member = Define(name);
    member.accepts = accepts;
    member.handler = nullptr;
    VariantCopy(&member.value, const_cast<VARIANT*>(&value));
    return *this;
}

CFakeDispatch& CFakeDispatch::Prop(const wchar_t* name, const wchar_t* text, WORD accepts)
{
    CVariant value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(text);
    return Prop(name, value, accepts);
}

CFakeDispatch& CFakeDispatch::Prop(const wchar_t* name, long value, WORD accepts)
{
    return Prop(name, CVariant(value), accepts);
}

CFakeDispatch& CFakeDispatch::Prop(const wchar_t* name, IDispatch* object, WORD accepts)
{
    return Prop(name, CVariant(object), accepts);
}

CFakeDispatch& CFakeDispatch::Method(const wchar_t* name, Handler handler, WORD accepts)
{
    Member& member = Define(name);
    member.accepts = accepts;
    member.handler = std::move(handler);
    member.value.Clear();
    return *this;
}

CFakeDispatch& CFakeDispatch::Fail(const wchar_t* name, HRESULT hr)
{
    Define(name).failure = hr;
    return *this;
}

const VARIANT* CFakeDispatch::Value(const wchar_t* name) const
{
    const Member* member = Find(name);
    return member && !member->handler ? &member->value : nullptr;
}

std::vector<CFakeDispatch::Call> CFakeDispatch::CallsTo(const wchar_t* name) const
{
    std::vector<Call> calls;
    for (const Call& call : m_calls) {
        if (_wcsicmp(call.name.c_str(), name) == 0)
            calls.push_back(call);
    }
    return calls;
}

HRESULT CFakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids || count == 0)
        return E_POINTER;
    // Only the member's own name is known; no parameter names.
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    for (size_t i = 0; i < m_members.size(); ++i) {
        if (names[0] && _wcsicmp(m_members[i].name.c_str(), names[0]) == 0) {
            ids[0] = static_cast<DISPID>(i + 1);
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT CFakeDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO*, UINT*)
{
    return CatchAtEdge("CFakeDispatch::Invoke", [&]() -> HRESULT {
        if (id < 1 || static_cast<size_t>(id) > m_members.size())
            return DISP_E_MEMBERNOTFOUND;
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        const DISPPARAMS& given = params ? *params : none;

        Call call{m_members[id - 1].name, flags, {}, {}};
        for (UINT i = 0; i < given.cArgs; ++i) {
            CVariant arg;
            VariantCopy(&arg, &given.rgvarg[i]);
            call.args.push_back(arg);
        }
        for (UINT i = 0; i < given.cNamedArgs; ++i)
            call.named.push_back(given.rgdispidNamedArgs[i]);
        m_calls.push_back(std::move(call));

        // A copy: a handler may define members, which moves them in memory.
        Member member = m_members[id - 1];
        if (FAILED(member.failure))
            return member.failure;
        if (!(flags & member.accepts))
            return DISP_E_MEMBERNOTFOUND;
        if (member.handler)
            return member.handler(given, result);

        if (flags & (kPut | kPutRef) & member.accepts) {
            if (given.cArgs != 1 || given.cNamedArgs != 1 ||
                given.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                return DISP_E_PARAMNOTOPTIONAL;
            return VariantCopy(&m_members[id - 1].value, &given.rgvarg[0]);
        }
        if (given.cArgs != 0)
            return DISP_E_BADPARAMCOUNT;
        if (!result)
            return S_OK;
        VariantClear(result);
        return VariantCopy(result, &member.value);
    });
}

CFakeDispatch& CFakeDispatch::Window(HWND window)
{
    m_window = window;
    return *this;
}

void* CFakeDispatch::QueryOther(REFIID iid)
{
    return iid == IID_IOleWindow && m_window ? static_cast<IOleWindow*>(&m_oleWindow) : nullptr;
}
