// CTestEventSink: an event sink for tests of event sources. It answers for
// one event interface (or, told so, refuses it, as a stranger to the source
// would), keeps the DISPIDs it was sent and hands each event's arguments to
// the test. It lives on the test's stack: its references are counted, so a
// test can see that the source let it go, but never delete it.
#pragma once

#include <functional>
#include <vector>

#include <windows.h>
#include <oaidl.h>

class CTestEventSink final : public IDispatch {
public:
    // Sees the arguments as the source passed them (the last one first).
    using Handler = std::function<void(DISPID id, DISPPARAMS& params)>;

    explicit CTestEventSink(const IID& events, Handler handler = {}, bool answersEvents = true)
        : m_events(events), m_handler(std::move(handler)), m_answersEvents(answersEvents)
    {}
    CTestEventSink(const CTestEventSink&) = delete;
    CTestEventSink& operator=(const CTestEventSink&) = delete;

    ULONG Refs() const { return m_refs; }
    const std::vector<DISPID>& Events() const { return m_received; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && !(m_answersEvents && iid == m_events))
            return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
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

private:
    IID m_events;
    Handler m_handler;
    bool m_answersEvents;
    ULONG m_refs = 1;
    std::vector<DISPID> m_received;
};
