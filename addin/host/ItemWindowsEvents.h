// The inspectors' sink: each new inspector of an unsent mail gets a context
// that holds the inspector and its item, a sink of the item's Close, and
// (while the host has no ribbon of ours) a command bar with the send
// button, tagged for that inspector. Sent mail gets nothing; a task goes to
// a hook. A context goes when its item closes, so a session that opens many
// mails holds only those still open.
#pragma once

#include <memory>

#include <windows.h>
#include <oaidl.h>

#include "addin/core/EventHandler.h"
#include "addin/core/SinkHolder.h"
#include "classlib/com/CComPtr.h"
#include "classlib/strings/CTypedPtrList.h"

class CCmdBar;
class CItemEvents;

// One open unsent mail inspector.
struct CInspectorContext {
    CInspectorContext(IDispatch* inspectorWindow, IDispatch* mailItem);
    CInspectorContext(const CInspectorContext&) = delete;
    CInspectorContext& operator=(const CInspectorContext&) = delete;
    // Disconnects and lets go of the item sink, deletes the bar (which
    // removes it from the inspector) and lets the inspector and item go.
    ~CInspectorContext();

    CComPtr<IDispatch> inspector;
    CComPtr<IDispatch> item;
    CSinkHolder<CItemEvents> itemSink;
    std::unique_ptr<CCmdBar> bar; // null in ribbon mode
};

class CInspectorsEvents : public CEventHandler {
public:
    CInspectorsEvents();
    ~CInspectorsEvents() override;

    // Deletes every context, then stops listening.
    void Disconnect() override;

    const CTypedPtrList<CInspectorContext>& GetContexts() const { return m_contexts; }
    // The context's item closed: the context is deleted once the Close
    // event has returned (deleting it inside would delete the item sink
    // whose call is running).
    void ForgetContext(CInspectorContext* context);

    // {00063079-0000-0000-C000-000000000046}: Outlook's InspectorsEvents.
    static const IID kEvents;

protected:
    HRESULT OnInvoke(DISPID id, DISPPARAMS* params) override;
    const IID& GetEventIID() const override { return kEvents; }

    // A new inspector on a task item.
    virtual HRESULT OnTaskInspector(IDispatch* inspector, IDispatch* item) = 0;

private:
    HRESULT OnNewInspector(IDispatch* inspector);
    HRESULT SinkItemEvents(CInspectorContext* context);
    HRESULT AddInspectorButtons(CInspectorContext* context);

    CTypedPtrList<CInspectorContext> m_contexts{Ownership::Owned};
    unsigned m_nextButton = 0;
};

// The add-in's inspectors' sink: tasks are left alone.
class CMyInspectorsEvents final : public CInspectorsEvents {
protected:
    HRESULT OnTaskInspector(IDispatch*, IDispatch*) override { return E_NOTIMPL; }
};
