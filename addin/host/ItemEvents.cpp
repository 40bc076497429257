#include "addin/host/ItemEvents.h"

#include "addin/commands/CmdBar.h"
#include "addin/host/ItemWindowsEvents.h"

namespace {

const CEventEntry kItemTable[] = {{0xF004, 1, "Close"}, {0, 0, nullptr}};

} // namespace

const IID CItemEvents::kEvents = {0x0006302B, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

CItemEvents::CItemEvents(CInspectorContext* context, CInspectorsEvents* owner)
    : CEventHandler(kItemTable), m_context(context), m_owner(owner)
{}

HRESULT CItemEvents::OnInvoke(DISPID, DISPPARAMS*)
{
    if (!m_context)
        return S_OK;
    // The context keeps its reference to this sink until it is deleted, so
    // disconnecting here cannot delete the object the call runs on.
    Disconnect();
    if (m_context->bar)
        m_context->bar->DisconnectAll();
    if (m_owner)
        m_owner->ForgetContext(m_context);
    return S_OK;
}
