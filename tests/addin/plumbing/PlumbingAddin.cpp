// An add-in made of the product's own plumbing, for tests that run it in
// the Outlook stand-in's host as Outlook would: in a library of its own,
// whose resources (captions, faces, the error dialog) are the library's,
// with its events arriving through connection points from another module.
// It does what the product's start-up does with the plumbing: the
// explorer's hidden sync bar, and on each new inspector of a mail a bar
// with a send-style button, tagged per inspector. The button's command
// marks the item sent and saves it, so a test sees a click arrive in the
// mailbox. Everything is let go at shutdown.
#include <memory>
#include <new>
#include <vector>

#include <windows.h>

#include "addin/AddinResource.h"
#include "addin/commands/CmdBar.h"
#include "addin/commands/CmdBtn.h"
#include "addin/core/EventHandler.h"
#include "addin/commands/ExplorerButtons.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/CClassFactory.h"
#include "classlib/com/CComModule.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"
#include "classlib/strings/CString.h"
#include "shared/outlook/AutomationValues.h"
#include "tests/addin/plumbing/PlumbingAddinIds.h"
#include "tests/support/TestAddin.h"

namespace {

// {00063079-0000-0000-C000-000000000046}: Outlook's Inspectors events.
constexpr IID kInspectorsEvents = {0x00063079, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr DISPID kDispNewInspector = 0xF001;
constexpr long kClassMail = 43;

class CStampBtn final : public CCmdBtn {
public:
    CStampBtn() : CCmdBtn(IDS_SEND_CAPTION, IDB_SEND_FACE, IDB_SEND_MASK) {}

    BOOL CanClick() override { return !IsOffline(TRUE); }
    HRESULT OnClick() override
    {
        if (!automation::IsObject(m_item))
            return E_FAIL;
        MarkItemSent(m_item.pdispVal);
        return CallMethod(m_item.pdispVal, L"Save", nullptr, 0, nullptr);
    }
};

const CEventEntry kInspectorsTable[] = {{kDispNewInspector, 1, "NewInspector"}, {0, 0, nullptr}};

class CNewInspectorSink final : public CEventHandler {
public:
    CNewInspectorSink() : CEventHandler(kInspectorsTable) {}
    ~CNewInspectorSink() override { Disconnect(); }

    void Disconnect() override
    {
        m_bars.clear(); // each bar deletes its Office bar and its buttons
        CEventHandler::Disconnect();
    }

protected:
    const IID& GetEventIID() const override { return kInspectorsEvents; }
    HRESULT OnInvoke(DISPID, DISPPARAMS* params) override
    {
        IDispatch* inspector = EventObject(params, 0, 1);
        CVariant item;
        CVariant itemClass;
        if (!inspector || FAILED(GetProp(inspector, L"CurrentItem", item.Put())) ||
            !automation::IsObject(item) ||
            FAILED(GetProp(item.pdispVal, L"Class", itemClass.Put())) || itemClass.vt != VT_I4 ||
            itemClass.lVal != kClassMail)
            return S_OK;
        auto bar = std::make_unique<CCmdBar>();
        CString name;
        name.LoadString(IDS_BAR_NAME);
        if (FAILED(bar->Create(inspector, name)))
            return S_OK;
        auto* button = new CStampBtn;
        button->SetApplication(m_application);
        CString tag;
        tag.Format("sf%ul;", m_nextButton++);
        button->SetTag(tag);
        if (SUCCEEDED(bar->AddButton(button, TRUE)))
            bar->SetVisibility(nullptr, TRUE);
        m_bars.push_back(std::move(bar));
        return S_OK;
    }

private:
    std::vector<std::unique_ptr<CCmdBar>> m_bars;
    unsigned m_nextButton = 0;
};

class CPlumbingAddin final : public testaddin::CAddinBase<> {
public:
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) override
    {
        CVariant explorer;
        if (SUCCEEDED(CDispatcher::CallMethod(m_application.Get(), L"ActiveExplorer",
                                              explorer.Put(), 0, nullptr)) &&
            automation::IsObject(explorer)) {
            CCmdBar* bar = nullptr;
            if (SUCCEEDED(AddExplorerButtons(m_application.Get(), explorer.pdispVal, &bar)))
                m_explorerBar.reset(bar);
        }
        CVariant inspectors;
        if (FAILED(CDispatcher::GetProp(m_application.Get(), L"Inspectors", inspectors.Put())) ||
            !automation::IsObject(inspectors))
            return E_FAIL;
        m_inspectors = new (std::nothrow) CNewInspectorSink;
        if (!m_inspectors)
            return E_OUTOFMEMORY;
        m_inspectors->AddRef();
        m_inspectors->SetApplication(m_application.Get());
        return m_inspectors->Connect(inspectors.pdispVal);
    }
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY**) override
    {
        if (m_inspectors) {
            m_inspectors->Disconnect();
            m_inspectors->Release();
            m_inspectors = nullptr;
        }
        m_explorerBar.reset();
        return S_OK;
    }

private:
    CNewInspectorSink* m_inspectors = nullptr;
    std::unique_ptr<CCmdBar> m_explorerBar;
};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        // Captions, faces and the error dialog come from this library.
        SetResourceModule(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    CLSID ours{};
    CLSIDFromString(CBstr(kPlumbingAddinClsidText).Get(), &ours);
    return GetClassObject<CPlumbingAddin>(ours, clsid, iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return CComModule::CanUnloadNow();
}
