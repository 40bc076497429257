#include "addin/core/DispatchObject.h"

#include <memory>
#include <new>

#include "classlib/com/Barrier.h"
#include "classlib/win32/CActCtx.h"

namespace {

// The longest event name a look-up converts, with its zero.
constexpr int kNameBuffer = 512;

} // namespace

void* CDispatchObject::QueryOther(REFIID iid)
{
    return iid == GetEventIID() ? static_cast<IDispatch*>(this) : nullptr;
}

HRESULT CDispatchObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!ids || !names)
        return E_POINTER;
    if (count != 1)
        return E_INVALIDARG;
    if (!names[0])
        return E_POINTER;
    ids[0] = DISPID_UNKNOWN;
    std::unique_ptr<char[]> name(new (std::nothrow) char[kNameBuffer]);
    if (!name)
        return E_OUTOFMEMORY;
    // A name too long for the buffer cannot be one of the table's.
    if (!WideCharToMultiByte(CP_ACP, 0, names[0], -1, name.get(), kNameBuffer, nullptr, nullptr))
        return DISP_E_UNKNOWNNAME;
    for (const CEventEntry* entry = m_events; entry && entry->name; ++entry) {
        if (lstrcmpA(entry->name, name.get()) == 0) {
            ids[0] = entry->dispid;
            return S_OK;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

const CEventEntry* CDispatchObject::Find(DISPID id) const
{
    for (const CEventEntry* entry = m_events; entry && entry->name; ++entry)
        if (entry->dispid == id)
            return entry;
    return nullptr;
}

HRESULT CDispatchObject::Invoke(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                EXCEPINFO*, UINT*)
{
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    const CEventEntry* entry = Find(id);
    if (!entry)
        return DISP_E_MEMBERNOTFOUND;
    if (!params)
        return E_POINTER;
    if (params->cArgs != entry->argCount)
        return DISP_E_BADPARAMCOUNT;
    // A handler may disconnect the sink and so drop the source's reference,
    // the last one when its creator has already let go: keep it alive until
    // the handler is back. (A sink nobody counts yet is not deleted by it.)
    const bool hold = RefCount() > 0;
    if (hold)
        AddRef();
    // Outlook's events and button clicks arrive with whatever context Outlook
    // has active: the message boxes and dialogs a handler shows are the
    // add-in's and take its manifest.
    CActCtxScope looks;
    // Nothing may cross back into the event source, and what the handler
    // answers does not reach it.
    (void)CatchAtEdge("CDispatchObject::Invoke", [&] { return OnInvoke(id, params); });
    if (hold)
        Release();
    return S_OK;
}

const VARIANT* CDispatchObject::EventArg(const DISPPARAMS* params, UINT index, UINT argCount)
{
    if (!params || !params->rgvarg || index >= argCount || params->cArgs != argCount)
        return nullptr;
    const VARIANT* arg = &params->rgvarg[argCount - 1 - index];
    if (arg->vt == (VT_VARIANT | VT_BYREF) && arg->pvarVal)
        arg = arg->pvarVal;
    return arg;
}

IDispatch* CDispatchObject::EventObject(const DISPPARAMS* params, UINT index, UINT argCount)
{
    const VARIANT* arg = EventArg(params, index, argCount);
    if (!arg)
        return nullptr;
    if (arg->vt == VT_DISPATCH)
        return arg->pdispVal;
    if (arg->vt == (VT_DISPATCH | VT_BYREF))
        return arg->ppdispVal ? *arg->ppdispVal : nullptr;
    return nullptr;
}
