// CComPartT: an interface served by a member of an object, whose references
// are its owner's: AddRef and Release go to the owner, so the part lives
// exactly as long as the owner does (and the owner's lifetime decides
// whether the module's count sees it). Two kinds, by identity:
//   Own     an object of its own for COM: QueryInterface answers IUnknown and
//           the listed interfaces from the part (the table of CComObjectT)
//           and nothing else. A connection point is one.
//   Owners  another face of its owner: QueryInterface is the owner's
//           entirely, so IUnknown is the owner's identity; the owner
//           answers the part's interface with the part.
#pragma once

#include <windows.h>

#include "classlib/com/CComObject.h"

enum class ComIdentity { Own, Owners };

template <ComIdentity Identity, class... Interfaces>
class CComPartT : public Interfaces... {
    static_assert(sizeof...(Interfaces) > 0, "a part serves at least one interface");

public:
    explicit CComPartT(IUnknown& owner) : m_owner(owner) {}
    CComPartT(const CComPartT&) = delete;
    CComPartT& operator=(const CComPartT&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if constexpr (Identity == ComIdentity::Owners) {
            return m_owner.QueryInterface(iid, object);
        } else {
            if (!object)
                return E_POINTER;
            *object = com_detail::FindListed<Interfaces...>(this, iid);
            if (!*object)
                return E_NOINTERFACE;
            AddRef();
            return S_OK;
        }
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner.Release(); }

protected:
    // A member: it goes with its owner, never through Release.
    ~CComPartT() = default;

    IUnknown& Owner() const { return m_owner; }

private:
    IUnknown& m_owner;
};
