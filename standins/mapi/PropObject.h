// CPropObject: IMAPIProp over a fixed set of properties, the base of the
// stand-in's directory objects (IUnknown is CLoggedUnknown's). Each call is
// logged as "<name>::<method>" and may be failed by the fixture under that
// name.
#pragma once

#include <string>
#include <vector>
#include <mapix.h>

#include "standins/mapi/Guids.h"
#include "standins/mapi/LoggedUnknown.h"
#include "standins/mapi/Props.h"
#include "standins/mapi/StandIn.h"

// Inside a stand-in method: log it and return what the fixture injects.
#define RETURN_IF_INJECTED(method)                                                                 \
    do {                                                                                           \
        HRESULT injected_ = this->Enter(method);                                                   \
        if (FAILED(injected_))                                                                     \
            return injected_;                                                                      \
    } while (0)

template <class Interface>
class CPropObject : public CLoggedUnknown<Interface> {
public:
    CPropObject(std::string name, std::vector<StoredProp> props)
        : CLoggedUnknown<Interface>(std::move(name)), m_props(std::move(props))
    {}

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
    using CLoggedUnknown<Interface>::Enter;
    using CLoggedUnknown<Interface>::Unsupported;

    // The interfaces beyond IUnknown and IMAPIProp.
    virtual bool Supports(REFIID) const { return false; }
    bool AnswersFor(REFIID iid) const override { return iid == kIidMapiProp || Supports(iid); }

    const std::vector<StoredProp>& Props() const { return m_props; }

private:
    std::vector<StoredProp> m_props;
};
