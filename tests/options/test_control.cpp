// The page as a control in a plain container, one that is no Outlook
// options dialog (its site has no PropertyPageSite): in-place activation
// and the control's window, the dialog keyboard handed over through
// TranslateAccelerator, drawing, the class information, persistence, the
// client site's references, and unloading once the control is gone.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "classlib/com/CComObject.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/OutlookPages.h"
#include "options/OptionsResource.h"
#include "options/page/PageIds.h"
#include "tests/options/OptionsTest.h"
#include "tests/support/HResultText.h"

using namespace optionstest;
using namespace testenv;

namespace {

// A container's site with a window of its own and nothing else.
class CPlainSite final
    : public CComObjectT<ComLifetime::Unlocked, IOleClientSite, IOleInPlaceSite> {
public:
    explicit CPlainSite(HWND window) : m_window(window) {}

    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        *window = m_window;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override
    {
        ++activations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT position, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO info) override
    {
        *frame = nullptr;
        *doc = nullptr;
        *position = {0, 0, 500, 420};
        *clip = *position;
        info->fMDIApp = FALSE;
        info->hwndFrame = m_window;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override
    {
        ++deactivations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    int activations = 0;
    int deactivations = 0;

protected:
    void* QueryOther(REFIID iid) override
    {
        return iid == IID_IOleWindow ? static_cast<IOleInPlaceSite*>(this) : nullptr;
    }

private:
    HWND m_window;
};

class PlainContainerTest : public OptionsPageTest {
protected:
    void SetUp() override
    {
        OptionsPageTest::SetUp();
        m_window = CreateWindowExA(0, "STATIC", "container", WS_POPUP, 0, 0, 520, 440, nullptr,
                                   nullptr, nullptr, nullptr);
        ASSERT_TRUE(m_window);
        m_site = CComPtr<CPlainSite>(new CPlainSite(m_window));
        ASSERT_HR(S_OK, CoCreateInstance(CLSID_PropPage, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IOleObject, m_control.PutVoid()));
        ASSERT_HR(S_OK, m_control->SetClientSite(static_cast<IOleClientSite*>(m_site.Get())));
    }
    void TearDown() override
    {
        if (m_control) {
            m_control->Close(OLECLOSE_NOSAVE);
            m_control->SetClientSite(nullptr);
            m_control.Release();
        }
        DestroyWindow(m_window);
        OptionsPageTest::TearDown();
    }

    HRESULT Activate()
    {
        RECT area{0, 0, 500, 420};
        return m_control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                                 static_cast<IOleClientSite*>(m_site.Get()), 0, m_window, &area);
    }
    HWND ControlWindow()
    {
        CComPtr<IOleInPlaceObject> inPlace;
        HWND window = nullptr;
        if (SUCCEEDED(m_control.QueryInterface(inPlace)))
            inPlace->GetWindow(&window);
        return window;
    }

    HWND m_window = nullptr;
    CComPtr<CPlainSite> m_site;
    CComPtr<IOleObject> m_control;
};

} // namespace

TEST_F(PlainContainerTest, ActivatedInPlaceTheControlIsAChildOfTheContainerAndTellsItsExtent)
{
    DWORD misc = 0;
    ASSERT_HR(S_OK, m_control->GetMiscStatus(DVASPECT_CONTENT, &misc));
    EXPECT_EQ(kPropPageMiscStatus, misc);
    SIZEL extent{};
    ASSERT_HR(S_OK, m_control->GetExtent(DVASPECT_CONTENT, &extent));
    // The dialog is wider than high, some centimetres each way.
    EXPECT_GT(extent.cx, extent.cy);
    EXPECT_GT(extent.cy, 2000);

    ASSERT_HR(S_OK, Activate());
    EXPECT_EQ(1, m_site->activations);
    HWND window = ControlWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(m_window, GetParent(window));
    EXPECT_TRUE(GetDlgItem(window, IDC_USERNAME)) << "the page's own controls are in it";

    CComPtr<IOleInPlaceObject> inPlace;
    ASSERT_HR(S_OK, m_control.QueryInterface(inPlace));
    ASSERT_HR(S_OK, inPlace->InPlaceDeactivate());
    EXPECT_EQ(1, m_site->deactivations);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(PlainContainerTest, TheContainerHandsKeysToTheControlsDialog)
{
    ASSERT_HR(S_OK, Activate());
    HWND window = ControlWindow();
    CComPtr<IOleInPlaceActiveObject> active;
    ASSERT_HR(S_OK, m_control.QueryInterface(active));
    struct Row {
        const char* name;
        int from;
        UINT message;
        WPARAM key;
        int to;
    };
    for (const Row& row : {
             Row{.name = "Tab",
            .from = IDC_USERNAME,
            .message = WM_KEYDOWN,
            .key = VK_TAB,
            .to = IDC_PASSWORD},
             Row{.name = "Alt+A",
             .from = IDC_USERNAME,
             .message = WM_SYSCHAR,
             .key = 'a',
             .to = IDC_ACCOUNT_ID},
         }) {
        SCOPED_TRACE(row.name);
        SetFocus(GetDlgItem(window, row.from));
        MSG message{GetDlgItem(window, row.from), row.message, row.key, 0, 0, {}};
        EXPECT_HR(S_OK, active->TranslateAccelerator(&message));
        EXPECT_EQ(GetDlgItem(window, row.to), GetFocus());
    }
    // A key for another window is not the control's.
    MSG elsewhere{m_window, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_HR(S_FALSE, active->TranslateAccelerator(&elsewhere));
}

TEST_F(PlainContainerTest, ASiteWithoutAPageSiteStillGetsADirtyPage)
{
    ASSERT_HR(S_OK, Activate());
    SetDlgItemTextA(ControlWindow(), IDC_USERNAME, "changed@example.com");
    CComPtr<PropertyPage> page;
    ASSERT_HR(S_OK, m_control.QueryInterface(page));
    VARIANT_BOOL dirty = VARIANT_FALSE;
    ASSERT_HR(S_OK, page->get_Dirty(&dirty));
    EXPECT_EQ(VARIANT_TRUE, dirty);
}

TEST_F(PlainContainerTest, ANewClientSiteLetsTheOldOneGo)
{
    const ULONG alone = m_site->RefCount();
    CComPtr<CPlainSite> other(new CPlainSite(m_window));
    ASSERT_HR(S_OK, m_control->SetClientSite(static_cast<IOleClientSite*>(other.Get())));
    EXPECT_EQ(alone - 1, m_site->RefCount()) << "the first site was let go of";
    ASSERT_HR(S_OK, m_control->SetClientSite(nullptr));
    EXPECT_EQ(1u, other->RefCount()) << "null lets the second go too";
}

TEST_F(PlainContainerTest, ItDescribesAndDrawsItself)
{
    CComPtr<IProvideClassInfo2> classInfo;
    ASSERT_HR(S_OK, m_control.QueryInterface(classInfo));
    CComPtr<ITypeInfo> info;
    ASSERT_HR(S_OK, classInfo->GetClassInfo(info.Put()));
    TYPEATTR* attributes = nullptr;
    ASSERT_HR(S_OK, info->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
    EXPECT_TRUE(IsEqualGUID(CLSID_PropPage, attributes->guid));
    info->ReleaseTypeAttr(attributes);
    GUID source{};
    EXPECT_TRUE(FAILED(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source)))
        << "the page fires no events";

    CComPtr<IPersistStreamInit> persist;
    ASSERT_HR(S_OK, m_control.QueryInterface(persist));
    EXPECT_HR(S_OK, persist->InitNew());
    CLSID clsid{};
    ASSERT_HR(S_OK, persist->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualGUID(CLSID_PropPage, clsid));

    // Active, it draws its face into the container's device context.
    ASSERT_HR(S_OK, Activate());
    CComPtr<IViewObject2> view;
    ASSERT_HR(S_OK, m_control.QueryInterface(view));
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 500, 420);
    ReleaseDC(nullptr, screen);
    HGDIOBJ before = SelectObject(memory, bitmap);
    RECT all{0, 0, 500, 420};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECTL bounds{0, 0, 500, 420};
    EXPECT_HR(S_OK, view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds,
                               nullptr, nullptr, 0));
    int drawn = 0;
    for (int y = 0; y < 420; y += 7)
        for (int x = 0; x < 500; x += 7)
            if (GetPixel(memory, x, y) != RGB(255, 255, 255))
                ++drawn;
    SelectObject(memory, before);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EXPECT_GT(drawn, 100);
}

TEST_F(PlainContainerTest, OnceClosedAndLetGoTheLibraryMayUnload)
{
    ASSERT_HR(S_OK, Activate());
    HMODULE library = GetModuleHandleA((ProgramFolder() + "QuillOpts.dll").c_str());
    ASSERT_TRUE(library);
    EXPECT_HR(S_FALSE, CallExport(library, "DllCanUnloadNow")) << "the control is alive";
    m_control->Close(OLECLOSE_NOSAVE);
    m_control->SetClientSite(nullptr);
    m_control.Release();
    EXPECT_EQ(1u, m_site->RefCount()) << "the control let go of its site";
    EXPECT_HR(S_OK, CallExport(library, "DllCanUnloadNow"));
}
