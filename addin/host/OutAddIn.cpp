#include "addin/host/OutAddIn.h"

#include <cstring>
#include <new>

#include "addin/core/AddinProtocol.h"
#include "addin/host/BtnMgr.h"
#include "addin/commands/CmdBar.h"
#include "addin/commands/ExplorerButtons.h"
#include "addin/core/PostedWork.h"
#include "addin/host/ExplorerEvents.h"
#include "addin/host/ExplorersEvents.h"
#include "addin/host/ItemWindowsEvents.h"
#include "addin/host/ItemsEvents.h"
#include "addin/host/OutlookEvents.h"
#include "addin/module/RegMgr.h"
#include "addin/host/Ribbon.h"
#include "addin/core/RibbonMode.h"
#include "addin/host/WordEvents.h"
#include "classlib/com/Barrier.h"
#include "classlib/com/CBstr.h"
#include "classlib/win32/CActCtx.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/service/Protocol.h"

using namespace automation;

namespace {

const CEventEntry kAddinCallbacks[] = {
    {COutAddIn::kGetCustomImage, 1, "GetCustomImage"},
    {0, 0, nullptr},
};

const CEventEntry* FindCallback(const char* name)
{
    for (const CEventEntry* entry = kAddinCallbacks; entry->name; ++entry)
        if (std::strcmp(entry->name, name) == 0)
            return entry;
    return CBtnMgr::FindByName(name);
}

const CEventEntry* FindCallback(DISPID id)
{
    for (const CEventEntry* entry = kAddinCallbacks; entry->name; ++entry)
        if (entry->dispid == id)
            return entry;
    return CBtnMgr::FindById(id);
}

// Runs one start-up step and logs what it answered under its name.
template <class Step>
void RunStep(const char* name, Step&& step)
{
    CLogBlock block(name);
    const HRESULT hr = CatchAtEdge(name, step);
    TheLog().HResult(name, hr);
}

} // namespace

// {DF82D7DA-6BFB-4072-984C-B860F99B6B9C}
const CLSID COutAddIn::kClsid = {
    0xdf82d7da, 0x6bfb, 0x4072, {0x98, 0x4c, 0xb8, 0x60, 0xf9, 0x9b, 0x6b, 0x9c}};

COutAddIn::COutAddIn() = default;

COutAddIn::~COutAddIn()
{
    // A host that let the object go without shutting it down leaves no
    // sink advised on its objects.
    BeginDestruction();
    (void)ShutDown();
}

// The ribbon interface is answered whenever asked: Office asks right after
// creating the add-in, before connecting it, and never again, so a ribbon
// withheld then is every button lost (and, above version 13, no command
// bar either). Its markup needs no application object.
HRESULT STDMETHODCALLTYPE COutAddIn::QueryInterface(REFIID iid, void** object)
{
    const HRESULT hr = Base::QueryInterface(iid, object);
    if (hr == S_OK && iid == IID_IDTRibbonExtensibility)
        SetRibbonMode(true);
    return hr;
}

HRESULT STDMETHODCALLTYPE COutAddIn::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                                   DISPID* ids)
{
    return CatchAtEdge("COutAddIn::GetIDsOfNames", [&]() -> HRESULT {
        if (iid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        if (!ids || !names)
            return E_POINTER;
        if (count != 1)
            return E_INVALIDARG;
        const CString name = CBstr::ToNarrow(names[0]);
        const CEventEntry* entry = FindCallback(name);
        if (!entry)
            return DISP_E_UNKNOWNNAME;
        ids[0] = entry->dispid;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE COutAddIn::Invoke(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS* params,
                                            VARIANT* result, EXCEPINFO*, UINT*)
{
    // The ribbon's buttons start the add-in's dialogs: they take its manifest.
    CActCtxScope looks;
    return CatchAtEdge("COutAddIn::Invoke", [&]() -> HRESULT {
        if (iid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        const CEventEntry* entry = FindCallback(id);
        if (!entry)
            return DISP_E_MEMBERNOTFOUND;
        if (!params)
            return E_POINTER;
        if (params->cArgs != entry->argCount)
            return DISP_E_BADPARAMCOUNT;
        if (id == kGetCustomImage)
            return GetCustomImage(result);
        CBtnMgr buttons(m_application.Get());
        return buttons.OnAction(entry->name);
    });
}

HRESULT STDMETHODCALLTYPE COutAddIn::OnConnection(IDispatch* application, ext_ConnectMode mode,
                                                  IDispatch*, SAFEARRAY**)
{
    CLogBlock block("COutAddIn::OnConnection");
    return CatchAtEdge("COutAddIn::OnConnection", [&]() -> HRESULT {
        if (!application)
            return E_POINTER;
        m_application = CComPtr<IDispatch>(application);
        m_connected = true;
        // Connected after the host started (the user ticked the add-in):
        // no OnStartupComplete follows, so the start-up road runs now.
        if (mode == ext_cm_AfterStartup)
            StartUp();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE COutAddIn::OnDisconnection(ext_DisconnectMode mode, SAFEARRAY**)
{
    CLogBlock block("COutAddIn::OnDisconnection");
    return CatchAtEdge("COutAddIn::OnDisconnection", [&]() -> HRESULT {
        if (mode != ext_dm_HostShutdown)
            ShutDown();
        m_application.Release();
        m_connected = false;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE COutAddIn::OnAddInsUpdate(SAFEARRAY**)
{
    CLogBlock block("COutAddIn::OnAddInsUpdate");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COutAddIn::OnStartupComplete(SAFEARRAY**)
{
    CLogBlock block("COutAddIn::OnStartupComplete");
    return CatchAtEdge("COutAddIn::OnStartupComplete", [&] { return StartUp(); });
}

HRESULT STDMETHODCALLTYPE COutAddIn::OnBeginShutdown(SAFEARRAY**)
{
    return CatchAtEdge("COutAddIn::OnBeginShutdown", [&] { return ShutDown(); });
}

HRESULT STDMETHODCALLTYPE COutAddIn::GetCustomUI(BSTR ribbonId, BSTR* markup)
{
    return CatchAtEdge("COutAddIn::GetCustomUI", [&] { return GetRibbonMarkup(ribbonId, markup); });
}

HRESULT COutAddIn::StartUp()
{
    if (!m_connected || m_started)
        return S_OK;
    CVariant name;
    if (FAILED(GetProp(m_application.Get(), L"Name", name.Put())))
        return S_OK;
    m_started = true;
    const bool outlook = name.vt == VT_BSTR &&
                         CBstr::ToNarrow(name.bstrVal, SysStringLen(name.bstrVal)) == "Outlook";
    if (!outlook) {
        RunStep("COutAddIn::SinkWordEvents", [&] { return SinkWordEvents(); });
        return S_OK;
    }
    RunStep("COutAddIn::SinkItemChanges", [&] { return SinkItemChanges(); });
    RunStep("COutAddIn::SinkNewInspector", [&] { return SinkNewInspector(); });
    RunStep("COutAddIn::SinkOutlookEvents", [&] { return SinkOutlookEvents(); });
    CString version;
    CRegMgr::GetOutlookVersion(version);
    // Compared as text, byte by byte, on purpose: every Outlook version
    // test of the add-in does it so, and they must agree ("9" is above "13").
    if (std::strcmp(version, "13") < 0)
        RunStep("COutAddIn::AddExplorerButtons", [&] { return AddExplorerButtons(); });
    RunStep("COutAddIn::SinkExplorerEvents", [&] { return SinkExplorerEvents(); });
    RunStep("COutAddIn::SinkNewExplorers", [&] { return SinkNewExplorers(); });
    return S_OK;
}

HRESULT COutAddIn::ShutDown()
{
    // Nothing posted may run once the objects it uses are gone.
    ThePostedWork().Close();
    // In this order: the explorer's sink goes before the bar it shows.
    m_explorersSink.Reset();
    m_laterExplorers.clear();
    m_inspectorsSink.Reset();
    m_outlookSink.Reset();
    m_inboxSink.Reset();
    m_explorerSink.Reset();
    m_wordSink.Reset();
    m_inspectors.Release();
    m_explorerBar.reset();
    // The protocol object and the service connection the send and sync
    // roads made.
    ReleaseAddinProtocol();
    CProtocol().Disconnect();
    m_started = false;
    return S_OK;
}

HRESULT COutAddIn::SinkItemChanges()
{
    CBstr mapi(L"MAPI");
    VARIANT nameArgs[] = {BorrowedTextArg(mapi.Get())};
    CVariant nameSpace;
    if (FAILED(CallMethod(m_application.Get(), L"GetNameSpace", nameSpace.Put(), 1, nameArgs)) ||
        !IsObject(nameSpace))
        return S_OK;
    VARIANT folderArgs[] = {LongArg(ol::kFolderInbox)};
    CVariant inbox;
    if (FAILED(CallMethod(nameSpace.pdispVal, L"GetDefaultFolder", inbox.Put(), 1, folderArgs)) ||
        !IsObject(inbox))
        return S_OK;
    if (FAILED(GetProp(inbox.pdispVal, L"Items", m_inboxItems.Put())) || !IsObject(m_inboxItems))
        return S_OK;
    return m_inboxSink.Make(m_application.Get(), m_inboxItems.pdispVal);
}

HRESULT COutAddIn::SinkNewInspector()
{
    CVariant inspectors;
    HRESULT hr = GetProp(m_application.Get(), L"Inspectors", inspectors.Put());
    if (FAILED(hr))
        return hr;
    if (!IsObject(inspectors))
        return E_FAIL;
    m_inspectors = CComPtr<IDispatch>(inspectors.pdispVal);
    return m_inspectorsSink.Make(m_application.Get(), m_inspectors.Get());
}

HRESULT COutAddIn::SinkOutlookEvents()
{
    return m_outlookSink.Make(m_application.Get(), m_application.Get());
}

HRESULT COutAddIn::AddExplorerButtons()
{
    CVariant explorer;
    const HRESULT hr =
        CallMethod(m_application.Get(), L"ActiveExplorer", explorer.Put(), 0, nullptr);
    if (FAILED(hr))
        return hr;
    if (!IsObject(explorer))
        return E_FAIL;
    CCmdBar* bar = nullptr;
    RETURN_IF_FAILED(::AddExplorerButtons(m_application.Get(), explorer.pdispVal, &bar));
    m_explorerBar.reset(bar);
    return S_OK;
}

HRESULT COutAddIn::SinkExplorerEvents()
{
    CVariant explorer;
    if (FAILED(CallMethod(m_application.Get(), L"ActiveExplorer", explorer.Put(), 0, nullptr)) ||
        !IsObject(explorer))
        return E_FAIL;
    return m_explorerSink.Make(m_application.Get(), explorer.pdispVal, &m_explorerBar,
                               [this](CExplorerEvents* sink) { ForgetExplorer(sink); });
}

HRESULT COutAddIn::SinkNewExplorers()
{
    CVariant explorers;
    const HRESULT hr = GetProp(m_application.Get(), L"Explorers", explorers.Put());
    if (FAILED(hr))
        return hr;
    if (!IsObject(explorers))
        return E_FAIL;
    return m_explorersSink.Make(
        m_application.Get(), explorers.pdispVal, [this](IDispatch* explorer) {
            RunStep("COutAddIn::SinkLaterExplorer", [&] { return SinkLaterExplorer(explorer); });
        });
}

HRESULT COutAddIn::SinkLaterExplorer(IDispatch* explorer)
{
    auto hold = std::make_unique<CExplorerHold>();
    CString version;
    CRegMgr::GetOutlookVersion(version);
    // The same byte-wise test as at start-up.
    if (std::strcmp(version, "13") < 0) {
        CCmdBar* bar = nullptr;
        const HRESULT hr = ::AddExplorerButtons(m_application.Get(), explorer, &bar);
        if (FAILED(hr))
            TheLog().HResult("COutAddIn::AddExplorerButtons", hr);
        hold->bar.reset(bar);
    }
    CExplorerHold* held = hold.get();
    m_laterExplorers.push_back(std::move(hold));
    const HRESULT hr = held->sink.Make(m_application.Get(), explorer, &held->bar,
                                       [this](CExplorerEvents* sink) { ForgetExplorer(sink); });
    if (SUCCEEDED(hr))
        held->sink->TakeCurrentFolder();
    return hr;
}

void COutAddIn::ForgetExplorer(CExplorerEvents* sink)
{
    // Not inside the explorer's own Close: the sink that reports it would
    // go in the middle of its call.
    const HRESULT hr = ThePostedWork().Post([this, sink] {
        if (m_explorerSink.Get() == sink) {
            m_explorerSink.Reset();
            m_explorerBar.reset();
            return;
        }
        m_laterExplorers.remove_if([sink](const std::unique_ptr<CExplorerHold>& hold) {
            return hold->sink.Get() == sink;
        });
    });
    if (FAILED(hr))
        TheLog().HResult("COutAddIn::ForgetExplorer", hr);
}

HRESULT COutAddIn::SinkWordEvents()
{
    return m_wordSink.Make(m_application.Get(), m_application.Get());
}
