#include "addin/host/ExplorersEvents.h"

#include <utility>

namespace {

const CEventEntry kExplorersTable[] = {{0xF001, 1, "NewExplorer"}, {0, 0, nullptr}};

} // namespace

const IID CExplorersEvents::kEvents = {0x00063078, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

CExplorersEvents::CExplorersEvents(NewExplorer onNew)
    : CEventHandler(kExplorersTable), m_onNew(std::move(onNew))
{}

HRESULT CExplorersEvents::OnInvoke(DISPID, DISPPARAMS* params)
{
    IDispatch* explorer = EventObject(params, 0, 1);
    if (explorer && m_onNew)
        m_onNew(explorer);
    return S_OK;
}
