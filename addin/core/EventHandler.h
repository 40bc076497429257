// CEventHandler: the base of every event sink and command button of the
// add-in. It connects its CDispatchObject part to an event source through
// the source's connection point, and offers the helpers the sinks and
// buttons share: the "Quillet" mark of a sent item, the window that owns
// dialogs, the SMTP form of an Exchange address, the error report and the
// offline test.
//
// Lifetime: the creator makes it (count 0), AddRefs it once, sets the
// application and Connects; at the end it Disconnects and Releases. The
// destructor disconnects too, so a sink deleted outright never leaves a
// source holding it.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "addin/core/DispatchObject.h"
#include "classlib/com/CComPtr.h"
#include "classlib/strings/CString.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/service/WebService.h"

class CEventHandler : public CWebService, public CDispatcher, public CDispatchObject {
public:
    explicit CEventHandler(const CEventEntry* events) : CDispatchObject(events) {}
    ~CEventHandler() override;

    // Advises this sink on the source's connection point for its event
    // interface. A source that is no connection point container answers with
    // its failure; one without that interface, or an Advise that fails,
    // leaves the sink unadvised and gives S_FALSE. A sink already connected
    // is disconnected first.
    virtual HRESULT Connect(IDispatch* source);
    // Unadvises and lets the connection point go; nothing when not connected.
    virtual void Disconnect();
    bool IsConnected() const { return static_cast<bool>(m_point); }

    // The host's Application; the sink does not hold it.
    void SetApplication(IDispatch* application) { m_application = application; }
    IDispatch* GetApplication() const { return m_application; }

    // Marks a sent item with the yes/no user property "Quillet" = true. Does
    // not save the item. Failures end it quietly.
    void MarkItemSent(IDispatch* item);
    // The window to own the add-in's dialogs (CDispatcher::WindowPreference).
    HWND GetParentWindow(int preference);
    // The window that owns the dialogs of what this handler does now: here
    // the active inspector's, else the explorer's; a button's is the window
    // it was clicked in. Never the desktop.
    virtual HWND DialogOwner();
    // The primary SMTP address of an Exchange address (an address entry's
    // Address), from the Exchange address book; smtp is emptied first and
    // set on success.
    HRESULT GetSmtpProxyAddress(const char* exchangeAddress, CString& smtp);
    // The error dialog with text, or with the "failed for unknown reasons"
    // text when it is null or empty. code is not shown.
    void ShowError(HRESULT code, const char* text);
    // TRUE when Outlook works offline (and then, with report, the user is
    // told the command is not available offline); FALSE when online or when
    // that cannot be read.
    BOOL IsOffline(BOOL report);

protected:
    CComPtr<IConnectionPoint> m_point; // held while advised
    DWORD m_cookie = 0;
    IDispatch* m_application = nullptr;
};
