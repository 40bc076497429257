#include "standins/outlook/core/ConnectionPoint.h"

#include <algorithm>

#include "standins/outlook/core/AutoObject.h"

namespace standin {

namespace {

std::vector<const CConnectionPoint*>& LivePoints()
{
    static std::vector<const CConnectionPoint*> points;
    return points;
}

} // namespace

CConnectionPoint::CConnectionPoint(CAutoObject& owner, REFIID events)
    : CComPartT(*owner.Dispatch()), m_owner(owner), m_events(events)
{
    LivePoints().push_back(this);
}

CConnectionPoint::~CConnectionPoint()
{
    auto& points = LivePoints();
    points.erase(std::remove(points.begin(), points.end(), this), points.end());
}

size_t CConnectionPoint::AdvisedEverywhere()
{
    size_t count = 0;
    for (const CConnectionPoint* point : LivePoints())
        count += point->Count();
    return count;
}

std::vector<HRESULT> CConnectionPoint::Fire(DISPID id, std::vector<CVariant>& args)
{
    // Automation order: the last argument first.
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                      static_cast<UINT>(reversed.size()), 0};
    // A sink may unadvise itself or others while it handles the event.
    std::vector<Sink> sinks = m_sinks;
    std::vector<HRESULT> answers;
    for (const Sink& sink : sinks) {
        const bool stillAdvised = std::any_of(
            m_sinks.begin(), m_sinks.end(), [&](const Sink& s) { return s.cookie == sink.cookie; });
        if (!stillAdvised)
            continue;
        CVariant result;
        EXCEPINFO exception{};
        UINT argError = 0;
        answers.push_back(sink.dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                                &params, &result, &exception, &argError));
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    return answers;
}

HRESULT CConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (!iid)
        return E_POINTER;
    *iid = m_events;
    return S_OK;
}

HRESULT CConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (!container)
        return E_POINTER;
    *container = &m_owner;
    m_owner.AddRef();
    return S_OK;
}

HRESULT CConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = 0;
    CComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(m_events, dispatch.PutVoid())) || !dispatch)
        return CONNECT_E_CANNOTCONNECT;
    *cookie = ++m_lastCookie;
    m_sinks.push_back({*cookie, std::move(dispatch)});
    return S_OK;
}

HRESULT CConnectionPoint::Unadvise(DWORD cookie)
{
    auto it = std::find_if(m_sinks.begin(), m_sinks.end(),
                           [cookie](const Sink& s) { return s.cookie == cookie; });
    if (it == m_sinks.end())
        return CONNECT_E_NOCONNECTION;
    // Released after it has left the list: its release may call back in.
    CComPtr<IDispatch> leaving = std::move(it->dispatch);
    m_sinks.erase(it);
    return S_OK;
}

HRESULT CConnectionPoint::EnumConnections(IEnumConnections** connections)
{
    if (connections)
        *connections = nullptr;
    return E_NOTIMPL;
}

} // namespace standin
