// The sink of one open mail item's Close: once the inspector's item is
// closed, its send button stops listening to its control (the context
// itself stays until the inspectors' sink lets it go).
#pragma once

#include "addin/core/EventHandler.h"

struct CInspectorContext;

class CItemEvents final : public CEventHandler {
public:
    explicit CItemEvents(CInspectorContext* context);

    // {0006302B-0000-0000-C000-000000000046}: Outlook's ItemEvents.
    static const IID kEvents;

protected:
    HRESULT OnInvoke(DISPID id, DISPPARAMS* params) override;
    const IID& GetEventIID() const override { return kEvents; }

private:
    CInspectorContext* m_context; // the context that owns this sink
};
