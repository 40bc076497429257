// CBtnMgr: the ribbon's command callbacks by name and by DISPID, and the
// run of the button a ribbon press stands for. Made on the stack for each
// call; the application is lent, not held.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "addin/core/DispatchObject.h"

class CBtnMgr {
public:
    explicit CBtnMgr(IDispatch* application = nullptr) : m_application(application) {}
    virtual ~CBtnMgr() = default;

    // The callback named exactly name, or null.
    static const CEventEntry* FindByName(const char* name);
    // The callback with that DISPID, or null.
    static const CEventEntry* FindById(DISPID id);

    // Runs the button of the callback name: the send command on the active
    // inspector's item (saved, recipients resolved), or the sync command.
    // No offline test: a ribbon press always starts the command. E_INVALIDARG
    // for a null name, S_OK for a name of no button, else the command's
    // answer (or the inspector step's failure).
    HRESULT OnAction(const char* name);

    static constexpr DISPID kSendClicked = 2;
    static constexpr DISPID kSyncClicked = 3;

private:
    IDispatch* m_application;
};
