#include "standins/outlook/core/AutoObject.h"

#include <algorithm>

#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/ConnectionPoint.h"

namespace standin {

// {B3D0C1A5-5E1F-4C77-9A41-6F2D3C8E0B17}
const IID IID_IStandInObject = {
    0xb3d0c1a5, 0x5e1f, 0x4c77, {0x9a, 0x41, 0x6f, 0x2d, 0x3c, 0x8e, 0x0b, 0x17}};

namespace {

constexpr WORD kPuts = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;

bool IsArgumentCode(HRESULT code)
{
    return code == DISP_E_TYPEMISMATCH || code == DISP_E_PARAMNOTFOUND ||
           code == DISP_E_BADPARAMCOUNT || code == DISP_E_MEMBERNOTFOUND;
}

} // namespace

CAutoObject::CAutoObject(std::wstring kind) : m_kind(std::move(kind)) {}

CAutoObject::~CAutoObject() = default;

void CAutoObject::Define(const wchar_t* name, WORD accepts, unsigned minArgs, unsigned maxArgs,
                         Handler get, Handler put)
{
    m_members.push_back({name, accepts, minArgs, maxArgs, std::move(get), std::move(put)});
}

void CAutoObject::Method(const wchar_t* name, unsigned minArgs, unsigned maxArgs, Handler handler)
{
    Define(name, DISPATCH_METHOD, minArgs, maxArgs, std::move(handler), nullptr);
}

void CAutoObject::Indexed(const wchar_t* name, unsigned minArgs, unsigned maxArgs, Handler handler)
{
    Define(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, minArgs, maxArgs, std::move(handler),
           nullptr);
}

void CAutoObject::Getter(const wchar_t* name, Handler get)
{
    Define(name, DISPATCH_PROPERTYGET, 0, 0, std::move(get), nullptr);
}

void CAutoObject::Property(const wchar_t* name, Handler get, Handler put, bool objectValue)
{
    const WORD accepts =
        DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT | (objectValue ? DISPATCH_PROPERTYPUTREF : 0);
    Define(name, accepts, 0, 0, std::move(get), std::move(put));
}

void CAutoObject::AddEventSource(REFIID events)
{
    m_points.push_back(std::make_unique<CConnectionPoint>(*this, events));
}

CConnectionPoint* CAutoObject::PointFor(REFIID events) const
{
    for (const auto& point : m_points)
        if (point->Events() == events)
            return point.get();
    return nullptr;
}

std::vector<HRESULT> CAutoObject::Fire(REFIID events, DISPID id, std::vector<CVariant> args)
{
    CConnectionPoint* point = PointFor(events);
    if (!point)
        return {};
    // The sinks may drop the last outside reference to this object.
    CComPtr<CAutoObject> keepAlive(this);
    return point->Fire(id, args);
}

size_t CAutoObject::Connections(REFIID events) const
{
    const CConnectionPoint* point = PointFor(events);
    return point ? point->Count() : 0;
}

void CAutoObject::FailMember(const std::wstring& member, HRESULT hr)
{
    for (Member& m : m_members)
        if (SameName(m.name, member))
            m.failure = hr;
}

void* CAutoObject::QueryOther(REFIID iid)
{
    return iid == IID_IStandInObject ? this : nullptr;
}

bool CAutoObject::Withholds(REFIID iid) const
{
    return iid == IID_IConnectionPointContainer && m_points.empty();
}

HRESULT CAutoObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    std::fill(ids, ids + count, DISPID_UNKNOWN);
    const std::wstring wanted = names[0] ? names[0] : L"";
    for (size_t i = 0; i < m_members.size(); ++i) {
        if (SameName(m_members[i].name, wanted)) {
            ids[0] = static_cast<DISPID>(i + 1);
            // Named arguments are not served.
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    CallLog().Add({m_kind, wanted, 0, {}, DISP_E_UNKNOWNNAME});
    return DISP_E_UNKNOWNNAME;
}

HRESULT CAutoObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (id < 1 || static_cast<size_t>(id) > m_members.size())
        return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    // The member may be redefined by nothing, but the handler may add
    // members to this object; keep a copy of what runs.
    Member member = m_members[static_cast<size_t>(id - 1)];
    const HRESULT hr = Answer(member, flags, params ? *params : none, result, exception, argError);
    return hr;
}

HRESULT CAutoObject::Answer(Member& member, WORD flags, const DISPPARAMS& params, VARIANT* result,
                            EXCEPINFO* exception, UINT* argError)
{
    // Which of the member's faces the flags reach, as a type library would
    // decide: a put only by a put, a property read by PROPERTYGET, a method
    // by METHOD.
    Handler* handler = nullptr;
    WORD face = 0;
    if (flags & kPuts) {
        if (flags & member.accepts & kPuts) {
            handler = &member.put;
            face = flags & member.accepts & kPuts;
        }
    } else if ((flags & DISPATCH_PROPERTYGET) && (member.accepts & DISPATCH_PROPERTYGET)) {
        handler = &member.get;
        face = DISPATCH_PROPERTYGET;
    } else if ((flags & DISPATCH_METHOD) && (member.accepts & DISPATCH_METHOD)) {
        handler = &member.get;
        face = DISPATCH_METHOD;
    }

    CCall call(params, face ? face : flags, result);
    CCallRecord record{m_kind, member.name, flags, {}, S_OK};
    auto finish = [&](HRESULT hr) {
        record.result = hr;
        CallLog().Add(std::move(record));
        return hr;
    };
    try {
        record.args = call.Describe();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }

    if (!handler || !*handler)
        return finish(DISP_E_MEMBERNOTFOUND);
    if (face & kPuts) {
        if (params.cNamedArgs != 1 || !params.rgdispidNamedArgs ||
            params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT || params.cArgs == 0)
            return finish(DISP_E_PARAMNOTFOUND);
    } else if (params.cNamedArgs != 0) {
        return finish(DISP_E_NONAMEDARGS);
    }
    if (call.Count() < member.minArgs || call.Count() > member.maxArgs)
        return finish(DISP_E_BADPARAMCOUNT);

    HRESULT injected = CallLog().IsQuiet() ? S_OK : member.failure;
    if (injected == S_OK)
        injected = CallLog().TakeInjected(m_kind, member.name);
    if (injected != S_OK)
        return finish(injected);

    if (result && !(face & kPuts))
        VariantClear(result);
    // The handler may drop the last outside reference (Delete, Close).
    CComPtr<CAutoObject> keepAlive(this);
    try {
        (*handler)(call);
    } catch (const CInvokeError& error) {
        if (IsArgumentCode(error.code)) {
            if (argError && error.argument >= 0)
                *argError = params.cArgs - 1 - static_cast<UINT>(error.argument);
            return finish(error.code);
        }
        if (exception) {
            *exception = EXCEPINFO{};
            exception->scode = error.code;
            exception->bstrSource = SysAllocString(L"Microsoft Outlook");
            exception->bstrDescription = SysAllocString(error.description.c_str());
        }
        return finish(DISP_E_EXCEPTION);
    } catch (const std::bad_alloc&) {
        return finish(E_OUTOFMEMORY);
    }
    return finish(S_OK);
}

HRESULT CAutoObject::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    if (points)
        *points = nullptr;
    return E_NOTIMPL;
}

HRESULT CAutoObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = PointFor(iid);
    if (!*point)
        return CONNECT_E_NOCONNECTION;
    (*point)->AddRef();
    return S_OK;
}

} // namespace standin
