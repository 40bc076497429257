// CLoggedUnknown: the IUnknown of every stand-in MAPI object, and the one
// place of the provider that implements AddRef and Release by hand rather
// than taking them from the class library: here they are part of what is
// tested. Every QueryInterface, AddRef and Release is a call the product
// makes into MAPI, so each one is logged as "<name>::<method>" (a call after
// MAPIUninitialize shows as a VIOLATION) and may be failed by the fixture,
// and every object made and gone is counted for the log's closing line.
// A new object starts with the one reference its creator hands out.
#pragma once

#include <string>
#include <mapix.h>

#include "standins/mapi/StandIn.h"

template <class Interface>
class CLoggedUnknown : public Interface {
public:
    explicit CLoggedUnknown(std::string name) : m_name(std::move(name))
    {
        CStandIn::Get().ObjectMade();
    }
    virtual ~CLoggedUnknown() { CStandIn::Get().ObjectGone(); }
    CLoggedUnknown(const CLoggedUnknown&) = delete;
    CLoggedUnknown& operator=(const CLoggedUnknown&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        Enter("QueryInterface");
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && !AnswersFor(iid))
            return E_NOINTERFACE;
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override
    {
        Enter("AddRef");
        return static_cast<ULONG>(InterlockedIncrement(&m_refs));
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        Enter("Release");
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

protected:
    // The interfaces beyond IUnknown the object answers for.
    virtual bool AnswersFor(REFIID iid) const = 0;

    // Logs the call; the failure the fixture injects for it, or S_OK.
    virtual HRESULT Enter(const char* method) const
    {
        return CStandIn::Get().Enter((m_name + "::" + method).c_str());
    }
    HRESULT Unsupported(const char* method) const
    {
        Enter(method);
        return MAPI_E_NO_SUPPORT;
    }

private:
    std::string m_name;
    LONG m_refs = 1;
};
