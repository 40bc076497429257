#include "addin/host/ItemWindowsEvents.h"

#include <memory>
#include <new>

#include "addin/AddinResource.h"
#include "addin/commands/CmdBar.h"
#include "addin/commands/CmdBtn.h"
#include "addin/core/PostedWork.h"
#include "addin/host/ItemEvents.h"
#include "addin/core/RibbonMode.h"
#include "addin/send/SendBtn.h"
#include "classlib/com/CVariant.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/OutlookEnums.h"

using namespace automation;

namespace {

const CEventEntry kInspectorsTable[] = {{0xF001, 1, "NewInspector"}, {0, 0, nullptr}};

} // namespace

const IID CInspectorsEvents::kEvents = {0x00063079, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

CInspectorContext::CInspectorContext(IDispatch* inspectorWindow, IDispatch* mailItem)
    : inspector(inspectorWindow), item(mailItem)
{}

CInspectorContext::~CInspectorContext()
{
    // The sink first: a bar's buttons may still be clicked until it goes.
    itemSink.Reset();
    bar.reset();
}

CInspectorsEvents::CInspectorsEvents() : CEventHandler(kInspectorsTable) {}

CInspectorsEvents::~CInspectorsEvents()
{
    m_contexts.RemoveAll();
}

void CInspectorsEvents::Disconnect()
{
    m_contexts.RemoveAll();
    CEventHandler::Disconnect();
}

void CInspectorsEvents::ForgetContext(CInspectorContext* context)
{
    CComPtr<CInspectorsEvents> self(this);
    const HRESULT hr = ThePostedWork().Post([self, context] {
        // A context the list no longer holds (the sink was disconnected)
        // is gone already.
        for (POSITION at = self->m_contexts.GetHeadPosition(); at;) {
            const POSITION here = at;
            if (self->m_contexts.GetNext(at) == context) {
                delete self->m_contexts.RemoveAt(here);
                return;
            }
        }
    });
    if (FAILED(hr))
        TheLog().HResult("CInspectorsEvents::ForgetContext", hr);
}

HRESULT CInspectorsEvents::OnInvoke(DISPID, DISPPARAMS* params)
{
    IDispatch* inspector = EventObject(params, 0, 1);
    if (!inspector)
        return S_OK;
    return OnNewInspector(inspector);
}

HRESULT CInspectorsEvents::OnNewInspector(IDispatch* inspector)
{
    CVariant item;
    long itemClass = 0;
    if (FAILED(GetProp(inspector, L"CurrentItem", item.Put())) || !IsObject(item) ||
        FAILED(CDispatcher::GetLongProp(item.pdispVal, L"Class", itemClass)))
        return S_OK;
    if (itemClass == ol::kClassTask)
        return OnTaskInspector(inspector, item.pdispVal);
    if (itemClass != ol::kClassMail)
        return S_OK;
    long sent = 0;
    if (FAILED(CDispatcher::GetLongProp(item.pdispVal, L"Sent", sent)) || sent != 0)
        return S_OK;
    auto* context = new (std::nothrow) CInspectorContext(inspector, item.pdispVal);
    if (!context)
        return E_OUTOFMEMORY;
    m_contexts.AddHead(context);
    SinkItemEvents(context);
    if (!IsRibbonMode())
        AddInspectorButtons(context);
    return S_OK;
}

HRESULT CInspectorsEvents::SinkItemEvents(CInspectorContext* context)
{
    CLogBlock block("COutAddIn::SinkItemEvents");
    return context->itemSink.Make(m_application, context->item.Get(), context, this);
}

HRESULT CInspectorsEvents::AddInspectorButtons(CInspectorContext* context)
{
    context->bar.reset(new (std::nothrow) CCmdBar);
    CCmdBar* bar = context->bar.get();
    if (!bar) {
        TheLog().HResult("COutAddIn::AddInspectorButtons", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    CString name;
    name.LoadString(IDS_BAR_NAME);
    HRESULT hr = bar->Create(context->inspector.Get(), name);
    if (FAILED(hr)) {
        TheLog().HResult("COutAddIn::AddInspectorButtons", hr);
        return hr;
    }
    CCmdBtn* button = new (std::nothrow) CSendBtn(IDS_SEND_CAPTION, IDB_SEND_FACE, IDB_SEND_MASK);
    if (!button) {
        TheLog().HResult("COutAddIn::AddInspectorButtons", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    button->SetApplication(m_application);
    CString tag;
    // A tag of its own per inspector: Office tells a click to every button
    // that shares a tag. The letter l after the number ("%ul") is kept on
    // purpose: it is the form the tags have always had.
    tag.Format("sf%ul;", m_nextButton++);
    button->SetTag(tag);
    hr = bar->AddButton(button, TRUE); // the bar holds the button from here on
    if (SUCCEEDED(hr))
        hr = bar->SetVisibility(nullptr, TRUE);
    if (FAILED(hr))
        TheLog().HResult("COutAddIn::AddInspectorButtons", hr);
    return hr;
}
