// CComObjectT: IUnknown done once. A class derives from it with the
// interfaces it serves, and that list is its interface table:
//
//     class CErrorSink : public CComObject<ISAXErrorHandler> { ... };
//     class CAddin : public CComDispatch<IDTExtensibility2, IDTRibbonExtensibility> { ... };
//
// QueryInterface checks and clears its out-parameter first, then answers
//   - IUnknown with the first interface of the list (the object's identity);
//   - each listed interface by its __uuidof (an interface the compiler's
//     headers give no IID declares one with __CRT_UUID_DECL beside it);
//   - IDispatch with the first listed interface built on it;
//   - then QueryOther, for an IID known only at run time (a sink's event
//     interface);
// and refuses what Withholds names (an interface of the list the object
// does not serve in its present state). What it hands out is AddRefed.
//
// The count is interlocked. A new object starts at 0: its creator takes the
// first reference (CComPtr, or AddRef). The lifetime says the rest:
//   Module    deleted by its last Release; while it lives it holds the
//             module's lock count, so DllCanUnloadNow says S_FALSE
//             (CComModule). Every class of the product.
//   Unlocked  deleted by its last Release; the module's count does not see
//             it. For objects of test programs (stand-ins, doubles) that
//             live in the same program as the product code they test: if
//             they counted, the product's count would be wrong there.
//   Scoped    lives on the stack or inside another object: references are
//             counted, so a test can see that a source let it go, but
//             never delete it; the module's count does not see it.
#pragma once

#include <atomic>
#include <type_traits>

#include <windows.h>
#include <oaidl.h>

#include "classlib/com/CComModule.h"

enum class ComLifetime { Module, Unlocked, Scoped };

namespace com_detail {

template <class First, class...>
struct FirstOf {
    using type = First;
};

// The first of the interfaces built on IDispatch, or void.
template <class... Interfaces>
struct FirstDispatch {
    using type = void;
};
template <class First, class... Rest>
struct FirstDispatch<First, Rest...> {
    using type = std::conditional_t<std::is_base_of_v<IDispatch, First>, First,
                                    typename FirstDispatch<Rest...>::type>;
};

template <class Interface>
const IID& IidOf()
{
    return __uuidof(Interface);
}

// The interface of self that the table gives for iid, or null. Self
// derives from every one of Interfaces.
template <class... Interfaces, class Self>
void* FindListed(Self* self, REFIID iid)
{
    using Primary = typename FirstOf<Interfaces...>::type;
    using Dispatch = typename FirstDispatch<Interfaces...>::type;
    if (iid == IID_IUnknown)
        return static_cast<IUnknown*>(static_cast<Primary*>(self));
    // The first listed interface with that IID.
    void* found = nullptr;
    (void)((iid == IidOf<Interfaces>() && (found = static_cast<Interfaces*>(self))) || ...);
    if constexpr (!std::is_void_v<Dispatch>) {
        if (!found && iid == IID_IDispatch)
            found = static_cast<IDispatch*>(static_cast<Dispatch*>(self));
    }
    return found;
}

} // namespace com_detail

template <ComLifetime Lifetime, class... Interfaces>
class CComObjectT : public Interfaces... {
    static_assert(sizeof...(Interfaces) > 0, "a COM object serves at least one interface");
    static_assert((std::is_base_of_v<IUnknown, Interfaces> && ...),
                  "the table lists COM interfaces only");

public:
    CComObjectT(const CComObjectT&) = delete;
    CComObjectT& operator=(const CComObjectT&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (Withholds(iid))
            return E_NOINTERFACE;
        void* found = com_detail::FindListed<Interfaces...>(this, iid);
        if (!found)
            found = QueryOther(iid);
        if (!found)
            return E_NOINTERFACE;
        *object = found;
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++m_refs); }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = --m_refs;
        if constexpr (Lifetime != ComLifetime::Scoped) {
            if (left == 0 && !m_destroying) {
                m_destroying = true;
                delete this;
                return 0;
            }
        }
        return static_cast<ULONG>(left);
    }

    // The references held now.
    ULONG RefCount() const { return static_cast<ULONG>(m_refs.load()); }

protected:
    CComObjectT()
    {
        if constexpr (Lifetime == ComLifetime::Module)
            CComModule::Lock();
    }
    virtual ~CComObjectT()
    {
        if constexpr (Lifetime == ComLifetime::Module)
            CComModule::Unlock();
    }

    // An interface beyond the table, for an IID known only at run time:
    // this object's pointer for it (QueryInterface AddRefs it), or null.
    virtual void* QueryOther(REFIID) { return nullptr; }
    // True for an interface of the table the object refuses now.
    virtual bool Withholds(REFIID) const { return false; }

    // From here on Release never deletes: the object is already going (it
    // was deleted outright), and what it lets go of on the way, an advised
    // connection say, may call Release.
    void BeginDestruction() { m_destroying = true; }

private:
    std::atomic<LONG> m_refs{0};
    bool m_destroying = false;
};

// The product's objects: they keep the module loaded while they live.
template <class... Interfaces>
using CComObject = CComObjectT<ComLifetime::Module, Interfaces...>;
