// CPropObject: IUnknown and IMAPIProp over a fixed set of properties, the
// base of every stand-in object. Each call is logged as "<name>::<method>"
// and may be failed by the fixture under that name.
#pragma once

#include <string>
#include <vector>
#include <mapix.h>

#include "standins/mapi/Guids.h"
#include "standins/mapi/Props.h"
#include "standins/mapi/StandIn.h"

// Inside a stand-in method: log it and return what the fixture injects.
#define RETURN_IF_INJECTED(method)                                                                 \
    do {                                                                                           \
        HRESULT injected_ = Enter(method);                                                         \
        if (FAILED(injected_))                                                                     \
            return injected_;                                                                      \
    } while (0)

template <class Interface>
class CPropObject : public Interface {
public:
    CPropObject(std::string name, std::vector<StoredProp> props)
        : m_name(std::move(name)), m_props(std::move(props))
    {
        CStandIn::Get().ObjectMade();
    }
    virtual ~CPropObject() { CStandIn::Get().ObjectGone(); }
    CPropObject(const CPropObject&) = delete;
    CPropObject& operator=(const CPropObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        Enter("QueryInterface");
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == kIidMapiProp || Supports(iid)) {
            *out = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override
    {
        Enter("AddRef");
        return static_cast<ULONG>(InterlockedIncrement(&m_refs));
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        Enter("Release");
        LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR* error) override
    {
        if (error)
            *error = nullptr;
        return Unsupported("GetLastError");
    }
    STDMETHODIMP SaveChanges(ULONG) override { return Unsupported("SaveChanges"); }
    STDMETHODIMP GetProps(LPSPropTagArray tags, ULONG, ULONG* count, LPSPropValue* props) override
    {
        RETURN_IF_INJECTED("GetProps");
        return CopyPropsOut(m_props, tags, count, props);
    }
    STDMETHODIMP GetPropList(ULONG, LPSPropTagArray*) override
    {
        return Unsupported("GetPropList");
    }
    STDMETHODIMP OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override
    {
        return Unsupported("OpenProperty");
    }
    STDMETHODIMP SetProps(ULONG, LPSPropValue, LPSPropProblemArray*) override
    {
        return Unsupported("SetProps");
    }
    STDMETHODIMP DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override
    {
        return Unsupported("DeleteProps");
    }
    STDMETHODIMP CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG, LPMAPIPROGRESS, LPCIID, LPVOID,
                        ULONG, LPSPropProblemArray*) override
    {
        return Unsupported("CopyTo");
    }
    STDMETHODIMP CopyProps(LPSPropTagArray, ULONG, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                           LPSPropProblemArray*) override
    {
        return Unsupported("CopyProps");
    }
    STDMETHODIMP GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override
    {
        return Unsupported("GetNamesFromIDs");
    }
    STDMETHODIMP GetIDsFromNames(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) override
    {
        return Unsupported("GetIDsFromNames");
    }

protected:
    virtual bool Supports(REFIID) const { return false; }

    // Logs the call; the failure the fixture injects for it, or S_OK.
    HRESULT Enter(const char* method) const
    {
        return CStandIn::Get().Enter((m_name + "::" + method).c_str());
    }
    HRESULT Unsupported(const char* method) const
    {
        Enter(method);
        return MAPI_E_NO_SUPPORT;
    }

    const std::vector<StoredProp>& Props() const { return m_props; }

private:
    std::string m_name;
    std::vector<StoredProp> m_props;
    LONG m_refs = 1;
};
