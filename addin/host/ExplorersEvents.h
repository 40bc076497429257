// The explorers' sink: Outlook started without a window (by another program
// through COM) has no explorer at start-up, and the user may open more
// later; each explorer that opens is handed to the add-in, which gives it
// its sink (receipt import, sync bar) and, before the ribbon, its bar.
#pragma once

#include <functional>

#include "addin/core/EventHandler.h"

class CExplorersEvents final : public CEventHandler {
public:
    using NewExplorer = std::function<void(IDispatch* explorer)>;
    explicit CExplorersEvents(NewExplorer onNew);

    // {00063078-0000-0000-C000-000000000046}: Outlook's ExplorersEvents.
    static const IID kEvents;

protected:
    HRESULT OnInvoke(DISPID id, DISPPARAMS* params) override;
    const IID& GetEventIID() const override { return kEvents; }

private:
    NewExplorer m_onNew;
};
