// The sink of one open mail item's Close: once the inspector's item is
// closed, its send button stops listening to its control, and the
// inspectors' sink is told to let the context (inspector, item, this sink,
// the bar) go, which it does once the event has returned.
#pragma once

#include "addin/core/EventHandler.h"

struct CInspectorContext;
class CInspectorsEvents;

class CItemEvents final : public CEventHandler {
public:
    // owner: the inspectors' sink whose list holds the context (may be null).
    CItemEvents(CInspectorContext* context, CInspectorsEvents* owner = nullptr);

    // {0006302B-0000-0000-C000-000000000046}: Outlook's ItemEvents.
    static const IID kEvents;

protected:
    HRESULT OnInvoke(DISPID id, DISPPARAMS* params) override;
    const IID& GetEventIID() const override { return kEvents; }

private:
    CInspectorContext* m_context; // the context that owns this sink
    CInspectorsEvents* m_owner;   // the list that owns the context
};
