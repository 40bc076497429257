// CConnectionPoint: one event interface of a stand-in object. Advise asks
// the sink for the event interface itself, as Office does, so a sink that
// does not answer for it cannot connect. The point is a part of its owner,
// an object of its own for COM whose references are the owner's.
#pragma once

#include <vector>

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "classlib/com/CComPart.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"

namespace standin {

class CAutoObject;

class CConnectionPoint final : public CComPartT<ComIdentity::Own, IConnectionPoint> {
public:
    CConnectionPoint(CAutoObject& owner, REFIID events);
    ~CConnectionPoint();

    // Sinks advised on every connection point of the process that still
    // exists, wherever its object is (a deleted bar's button that a sink
    // still holds counts too): what an add-in has left advised.
    static size_t AdvisedEverywhere();

    const IID& Events() const { return m_events; }
    size_t Count() const { return m_sinks.size(); }
    // args in declaration order; see CAutoObject::Fire.
    std::vector<HRESULT> Fire(DISPID id, std::vector<CVariant>& args);

    // IConnectionPoint
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

private:
    struct Sink {
        DWORD cookie;
        CComPtr<IDispatch> dispatch;
    };

    CAutoObject& m_owner;
    IID m_events;
    std::vector<Sink> m_sinks;
    DWORD m_lastCookie = 0;
};

} // namespace standin
