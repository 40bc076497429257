// CClassFactory<T>: the class factory of a class T of the module, and
// GetClassObject, the body of a DllGetClassObject that serves T.
//
// CreateInstance checks and clears its out-parameter, refuses aggregation
// (CLASS_E_NOAGGREGATION), makes T with new (std::nothrow) (E_OUTOFMEMORY)
// and asks it for the interface; an object that does not serve it is gone
// again and the refusal returned. LockServer moves the module's lock count
// (CComModule), as does the factory itself while it is referenced, so
// DllCanUnloadNow answers S_FALSE while a client holds either.
#pragma once

#include <new>

#include <windows.h>
#include <unknwn.h>

#include "classlib/com/Barrier.h"
#include "classlib/com/CComModule.h"
#include "classlib/com/CComObject.h"
#include "classlib/com/CComPtr.h"

template <class T>
class CClassFactory final : public CComObject<IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        // T's constructor may throw: no exception leaves the factory.
        return CatchAtEdge("CClassFactory::CreateInstance", [&] {
            CComPtr<T> created(new (std::nothrow) T);
            if (!created)
                return E_OUTOFMEMORY;
            return created->QueryInterface(iid, object);
        });
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            CComModule::Lock();
        else
            CComModule::Unlock();
        return S_OK;
    }
};

// DllGetClassObject of a module that serves T under the CLSID served: a
// new factory asked for iid. E_POINTER for a null out-parameter, which is
// cleared first otherwise; CLASS_E_CLASSNOTAVAILABLE for another CLSID;
// E_OUTOFMEMORY; or what the factory answers for iid.
template <class T>
HRESULT GetClassObject(REFCLSID served, REFCLSID asked, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (asked != served)
        return CLASS_E_CLASSNOTAVAILABLE;
    CComPtr<CClassFactory<T>> factory(new (std::nothrow) CClassFactory<T>);
    if (!factory)
        return E_OUTOFMEMORY;
    return factory->QueryInterface(iid, object);
}
