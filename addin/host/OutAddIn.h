// COutAddIn: the add-in object Outlook (or Word) creates and connects. At
// start-up it sinks the host's events and, in Outlook versions before the
// ribbon, puts the sync bar on the explorer; each explorer opened later
// gets the same; it serves the ribbon's markup and callbacks; at shutdown
// it lets everything go again.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <list>
#include <memory>

#include "addin/core/SinkHolder.h"
#include "classlib/com/CComDispatch.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"
#include "classlib/com/OfficeAddin.h"
#include "shared/outlook/Dispatcher.h"

class CCmdBar;
class CExplorerEvents;
class CExplorersEvents;
class CItemsEvents;
class CMyInspectorsEvents;
class COutlookEvents;
class CWordEvents;

class COutAddIn final : public CComDispatch<IDTExtensibility2, IDTRibbonExtensibility>,
                        public CDispatcher {
    using Base = CComDispatch<IDTExtensibility2, IDTRibbonExtensibility>;

public:
    COutAddIn();
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
    bool HasInspectorsSink() const { return static_cast<bool>(m_inspectorsSink); }
    bool HasOutlookSink() const { return static_cast<bool>(m_outlookSink); }
    bool HasInboxSink() const { return static_cast<bool>(m_inboxSink); }
    bool HasExplorerSink() const { return static_cast<bool>(m_explorerSink); }
    bool HasWordSink() const { return static_cast<bool>(m_wordSink); }
    bool HasExplorerBar() const { return static_cast<bool>(m_explorerBar); }

private:
    HRESULT StartUp();
    HRESULT ShutDown();

    HRESULT SinkItemChanges();
    HRESULT SinkNewInspector();
    HRESULT SinkOutlookEvents();
    HRESULT AddExplorerButtons();
    HRESULT SinkExplorerEvents();
    HRESULT SinkWordEvents();
    HRESULT SinkNewExplorers();
    // An explorer opened after start-up: its bar (before the ribbon) and
    // its sink.
    HRESULT SinkLaterExplorer(IDispatch* explorer);
    // Once the explorer of sink closed, after its event returned: its sink
    // and bar go.
    void ForgetExplorer(CExplorerEvents* sink);

    // One explorer opened after start-up. The sink goes before the bar it
    // shows (members go in reverse order).
    struct CExplorerHold {
        std::unique_ptr<CCmdBar> bar;
        CSinkHolder<CExplorerEvents> sink;
    };

    CSinkHolder<CWordEvents> m_wordSink;
    CComPtr<IDispatch> m_application;
    CComPtr<IDispatch> m_inspectors;
    CSinkHolder<CMyInspectorsEvents> m_inspectorsSink;
    CSinkHolder<COutlookEvents> m_outlookSink;
    CSinkHolder<CItemsEvents> m_inboxSink;
    CVariant m_inboxItems;
    CSinkHolder<CExplorerEvents> m_explorerSink;
    // Deleting the bar removes it and its buttons from the explorer.
    std::unique_ptr<CCmdBar> m_explorerBar;
    CSinkHolder<CExplorersEvents> m_explorersSink;
    std::list<std::unique_ptr<CExplorerHold>> m_laterExplorers;
    bool m_connected = false;
    bool m_started = false; // the start-up road ran
};
