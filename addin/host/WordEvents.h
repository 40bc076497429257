// Word's application sink, where Word is the host: the add-in's "Quillet"
// command bar shows only in a window whose mail envelope is visible.
#pragma once

#include "addin/core/EventHandler.h"

class CWordEvents final : public CEventHandler {
public:
    CWordEvents();

    // {000209FE-0000-0000-C000-000000000046}: Word's ApplicationEvents2.
    static const IID kEvents;

protected:
    HRESULT OnInvoke(DISPID id, DISPPARAMS* params) override;
    const IID& GetEventIID() const override { return kEvents; }
};
