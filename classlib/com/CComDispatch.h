// CComDispatchT: IDispatch over CComObjectT, for the objects that serve
// automation without a type library: they have no type information
// (GetTypeInfoCount says 0, GetTypeInfo answers E_FAIL with its
// out-parameter cleared), and each class answers GetIDsOfNames and Invoke
// from what it knows. At least one listed interface is IDispatch or built
// on it; two such (an add-in's extensibility and ribbon interfaces) share
// these answers.
#pragma once

#include <type_traits>

#include "classlib/com/CComObject.h"

template <ComLifetime Lifetime, class... Interfaces>
class CComDispatchT : public CComObjectT<Lifetime, Interfaces...> {
    static_assert((std::is_base_of_v<IDispatch, Interfaces> || ...),
                  "an automation object serves IDispatch");

public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        return E_FAIL;
    }
};

// The product's automation objects: they keep the module loaded while they
// live.
template <class... Interfaces>
using CComDispatch = CComDispatchT<ComLifetime::Module, Interfaces...>;
