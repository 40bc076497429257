// The application's sink: Outlook's Options dialog gets the add-in's page.
#pragma once

#include "addin/core/EventHandler.h"

class COutlookEvents final : public CEventHandler {
public:
    COutlookEvents();

    // {0006304E-0000-0000-C000-000000000046}: Outlook's ApplicationEvents.
    static const IID kEvents;

protected:
    HRESULT OnInvoke(DISPID id, DISPPARAMS* params) override;
    const IID& GetEventIID() const override { return kEvents; }
};
