// COutAddIn: the add-in object Outlook (or Word) creates and connects. At
// start-up it sinks the host's events and, in Outlook versions before the
// ribbon, puts the sync bar on the explorer; it serves the ribbon's markup
// and callbacks; at shutdown it lets everything go again.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "classlib/com/CComDispatch.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"
#include "classlib/com/OfficeAddin.h"
#include "shared/outlook/Dispatcher.h"

class CCmdBar;
class CExplorerEvents;
class CItemsEvents;
class CMyInspectorsEvents;
class COutlookEvents;
class CWordEvents;

class COutAddIn final : public CComDispatch<IDTExtensibility2, IDTRibbonExtensibility>,
                        public CDispatcher {
    using Base = CComDispatch<IDTExtensibility2, IDTRibbonExtensibility>;

public:
    COutAddIn() = default;
    ~COutAddIn() override;

    // {DF82D7DA-6BFB-4072-984C-B860F99B6B9C}
    static const CLSID kClsid;
    // The ribbon callback that gives the buttons' image.
    static constexpr DISPID kGetCustomImage = 1;

    // Handing out the ribbon interface puts the add-in in ribbon mode.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;

    // The ribbon's callbacks by name and DISPID.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    // IDTExtensibility2
    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, ext_ConnectMode mode,
                                           IDispatch* addInInstance, SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode mode, SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;

    // IDTRibbonExtensibility
    HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* markup) override;

    // What start-up installed, for tests.
    bool HasInspectorsSink() const { return m_inspectorsSink != nullptr; }
    bool HasOutlookSink() const { return m_outlookSink != nullptr; }
    bool HasInboxSink() const { return m_inboxSink != nullptr; }
    bool HasExplorerSink() const { return m_explorerSink != nullptr; }
    bool HasWordSink() const { return m_wordSink != nullptr; }
    bool HasExplorerBar() const { return m_explorerBar != nullptr; }

private:
    HRESULT StartUp();
    HRESULT ShutDown();

    HRESULT SinkItemChanges();
    HRESULT SinkNewInspector();
    HRESULT SinkOutlookEvents();
    HRESULT AddExplorerButtons();
    HRESULT SinkExplorerEvents();
    HRESULT SinkWordEvents();

    CWordEvents* m_wordSink = nullptr; // one reference each
    CComPtr<IDispatch> m_application;
    CComPtr<IDispatch> m_inspectors;
    CMyInspectorsEvents* m_inspectorsSink = nullptr;
    COutlookEvents* m_outlookSink = nullptr;
    CItemsEvents* m_inboxSink = nullptr;
    CVariant m_inboxItems;
    CExplorerEvents* m_explorerSink = nullptr;
    CCmdBar* m_explorerBar = nullptr; // owned
    bool m_connected = false;
    bool m_started = false; // the start-up road ran
};
