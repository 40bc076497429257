// A small COM add-in for the host program's tests: what any Outlook add-in
// does, kept apart from the product's own add-in so that the host is tested
// by itself. It listens for new inspectors, puts a "Sample-It" button on
// each one's command bar, and on a click asks the user (a message box) and
// stamps the item's subject; it serves one ribbon button whose callback
// stamps the body; and it lets everything go at shutdown, so the host can
// count what was left advised.
#include <string>
#include <vector>

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CClassFactory.h"
#include "classlib/com/CComModule.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"
#include "shared/outlook/Dispatcher.h"
#include "tests/outlook/sampleaddin/SampleAddinIds.h"
#include "tests/support/TestAddin.h"

namespace {

// {00063079-0000-0000-C000-000000000046} and {000C0351-...}
constexpr IID kInspectorsEvents = {0x00063079, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kButtonEvents = {0x000c0351, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

CComPtr<IDispatch> Get(IDispatch* object, const wchar_t* name)
{
    CVariant value;
    CComPtr<IDispatch> found;
    if (object && SUCCEEDED(CDispatcher::GetProp(object, name, value.Put())) &&
        value.vt == VT_DISPATCH)
        found = CComPtr<IDispatch>(value.pdispVal);
    return found;
}

// An event sink: a plain IDispatch that answers for one event interface.
class CSink : public CComDispatch<IDispatch> {
public:
    CSink(const IID& events) : m_events(events) {}
    ~CSink() override { Disconnect(); }

    void Connect(IDispatch* source)
    {
        CComPtr<IConnectionPointContainer> container;
        if (FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) ||
            FAILED(container->FindConnectionPoint(m_events, m_point.Put())))
            return;
        if (FAILED(m_point->Advise(static_cast<IDispatch*>(this), &m_cookie)))
            m_point.Release();
    }
    void Disconnect()
    {
        if (m_point)
            m_point->Unadvise(m_cookie);
        m_point.Release();
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }

protected:
    void* QueryOther(REFIID iid) override
    {
        return iid == m_events ? static_cast<IDispatch*>(this) : nullptr;
    }

private:
    IID m_events;
    CComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};

// The button of one inspector: a click asks, then stamps the item.
class CButtonSink final : public CSink {
public:
    CButtonSink(IDispatch* application, IDispatch* inspector)
        : CSink(kButtonEvents), m_application(application), m_inspector(inspector)
    {}
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override
    {
        if (id != 1 || !params || params->cArgs != 2)
            return DISP_E_MEMBERNOTFOUND;
        HWND owner =
            CDispatcher::GetParentWindow(m_application.Get(), CDispatcher::kPreferInspector);
        if (MessageBoxW(owner, L"Stamp this item?", L"Sample", MB_YESNO) != IDYES)
            return S_OK;
        CComPtr<IDispatch> item = Get(m_inspector.Get(), L"CurrentItem");
        CVariant subject = CVariant(L"stamped by the sample");
        if (item && SUCCEEDED(CDispatcher::PutProp(item.Get(), L"Subject", &subject)))
            CDispatcher::CallMethod(item.Get(), L"Save", nullptr, 0, nullptr);
        return S_OK;
    }

private:
    CComPtr<IDispatch> m_application;
    CComPtr<IDispatch> m_inspector;
};

class CInspectorsSink final : public CSink {
public:
    explicit CInspectorsSink(IDispatch* application)
        : CSink(kInspectorsEvents), m_application(application)
    {}
    ~CInspectorsSink() override
    {
        for (CButtonSink* button : m_buttons) {
            button->Disconnect();
            button->Release();
        }
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override
    {
        if (id != 0xF001 || !params || params->cArgs != 1 || params->rgvarg[0].vt != VT_DISPATCH)
            return DISP_E_MEMBERNOTFOUND;
        IDispatch* inspector = params->rgvarg[0].pdispVal;
        CComPtr<IDispatch> bars = Get(inspector, L"CommandBars");
        if (!bars)
            return S_OK;
        CVariant args[] = {CVariant(), CVariant(), CVariant(1L), CVariant(L"Sample")};
        args[0].vt = VT_BOOL;
        args[0].boolVal = VARIANT_TRUE; // temporary
        args[1].vt = VT_BOOL;
        args[1].boolVal = VARIANT_FALSE; // not a menu bar
        CVariant bar;
        if (FAILED(CDispatcher::CallMethod(bars.Get(), L"Add", bar.Put(), 4, args)) ||
            bar.vt != VT_DISPATCH)
            return S_OK;
        CComPtr<IDispatch> controls = Get(bar.pdispVal, L"Controls");
        CVariant type(1L);
        CVariant control;
        if (!controls ||
            FAILED(CDispatcher::CallMethod(controls.Get(), L"Add", control.Put(), 1, &type)) ||
            control.vt != VT_DISPATCH)
            return S_OK;
        CVariant caption = CVariant(L"Sample-It");
        CDispatcher::PutProp(control.pdispVal, L"Caption", &caption);
        auto* button = new CButtonSink(m_application.Get(), inspector);
        button->AddRef();
        button->Connect(control.pdispVal);
        m_buttons.push_back(button);
        return S_OK;
    }

private:
    CComPtr<IDispatch> m_application;
    std::vector<CButtonSink*> m_buttons;
};

constexpr DISPID kDispRibbonClicked = 5;

// One object, two interfaces: IUnknown and IDispatch are the first's.
class CSampleAddin final : public testaddin::CAddinBase<IDTRibbonExtensibility> {
public:
    // IDispatch: the ribbon callbacks.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override
    {
        if (count != 1 || wcscmp(names[0], L"SampleClicked") != 0)
            return DISP_E_UNKNOWNNAME;
        ids[0] = kDispRibbonClicked;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override
    {
        if (id != kDispRibbonClicked)
            return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1 || params->rgvarg[0].vt != VT_DISPATCH)
            return DISP_E_BADPARAMCOUNT;
        // Bound early, as add-ins written against the Office library are:
        // the control's context is the inspector the button sits in.
        CComPtr<IRibbonControl> control;
        CBstr controlId;
        CComPtr<IDispatch> context;
        if (FAILED(params->rgvarg[0].pdispVal->QueryInterface(IID_IRibbonControl,
                                                              control.PutVoid())) ||
            FAILED(control->get_Id(controlId.Put())) || !controlId.Get() ||
            wcscmp(controlId.Get(), L"sampleButton") != 0 ||
            FAILED(control->get_Context(context.Put())))
            return E_INVALIDARG;
        CComPtr<IDispatch> item = Get(context.Get(), L"CurrentItem");
        CVariant body = CVariant(L"stamped from the ribbon");
        return item ? CDispatcher::PutProp(item.Get(), L"Body", &body) : E_FAIL;
    }

    // IDTExtensibility2
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) override
    {
        CComPtr<IDispatch> inspectors = Get(m_application.Get(), L"Inspectors");
        if (!inspectors)
            return E_FAIL;
        m_inspectors = new CInspectorsSink(m_application.Get());
        m_inspectors->AddRef();
        m_inspectors->Connect(inspectors.Get());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY**) override
    {
        if (m_inspectors) {
            m_inspectors->Disconnect();
            m_inspectors->Release();
            m_inspectors = nullptr;
        }
        return S_OK;
    }

    // IDTRibbonExtensibility
    HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* markup) override
    {
        if (!markup)
            return E_POINTER;
        const bool compose = ribbonId && wcscmp(ribbonId, L"Microsoft.Outlook.Mail.Compose") == 0;
        *markup = SysAllocString(
            compose ? L"<customUI xmlns=\"http://schemas.microsoft.com/office/2006/01/customui\">"
                      L"<ribbon><tabs><tab idMso=\"TabNewMailMessage\"><group id=\"sampleGroup\" "
                      L"label=\"Sample\"><button id=\"sampleButton\" label=\"Sample\" "
                      L"onAction=\"SampleClicked\"/></group></tab></tabs></ribbon></customUI>"
                    : L"");
        return *markup ? S_OK : E_OUTOFMEMORY;
    }

private:
    CInspectorsSink* m_inspectors = nullptr;
};

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return GetClassObject<CSampleAddin>(kSampleAddinClsid, clsid, iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return CComModule::CanUnloadNow();
}
