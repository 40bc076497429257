// CTestEventSink: an event sink for tests of event sources. It answers for
// one event interface (or, told so, refuses it, as a stranger to the source
// would), keeps the DISPIDs it was sent and hands each event's arguments to
// the test. It lives on the test's stack (a scoped object): its references
// are counted, so a test can see that the source let it go, but never
// delete it.
#pragma once

#include <functional>
#include <vector>

#include <windows.h>
#include <oaidl.h>

#include "classlib/com/CComDispatch.h"

class CTestEventSink final : public CComDispatchT<ComLifetime::Scoped, IDispatch> {
public:
    // Sees the arguments as the source passed them (the last one first).
    using Handler = std::function<void(DISPID id, DISPPARAMS& params)>;

    explicit CTestEventSink(const IID& events, Handler handler = {}, bool answersEvents = true)
        : m_events(events), m_handler(std::move(handler)), m_answersEvents(answersEvents)
    {}

    const std::vector<DISPID>& Events() const { return m_received; }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override
    {
        m_received.push_back(id);
        if (m_handler && params)
            m_handler(id, *params);
        return S_OK;
    }

protected:
    void* QueryOther(REFIID iid) override
    {
        return m_answersEvents && iid == m_events ? static_cast<IDispatch*>(this) : nullptr;
    }

private:
    IID m_events;
    Handler m_handler;
    bool m_answersEvents;
    std::vector<DISPID> m_received;
};
