#include "standins/outlook/model/OptionsDialog.h"

#include <algorithm>

#include <commctrl.h>
#include <ocidl.h>
#include <olectl.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CComObject.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/OutlookPages.h"
#include "standins/outlook/model/PropertyPages.h"

namespace standin {

namespace {

constexpr LONG kHimetricPerInch = 2540;
// Outlook's OlObjectClass for a page site.
constexpr long kPropertyPageSiteClass = 70;
// The tab of Outlook's own, and the smallest page (dialog units).
constexpr short kOwnPageWidth = 252;
constexpr short kOwnPageHeight = 218;

// A property page's template, made in memory: a child dialog of the given
// size in "MS Shell Dlg" 8 with no controls of its own.
std::vector<DWORD> PageTemplate(short cx, short cy)
{
    std::vector<WORD> words;
    auto put32 = [&words](DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    };
    put32(WS_CHILD | DS_CONTROL | DS_SETFONT | DS_3DLOOK); // style
    put32(WS_EX_CONTROLPARENT);                            // extended style
    words.push_back(0);                                    // no controls
    words.push_back(0);                                    // x
    words.push_back(0);                                    // y
    words.push_back(static_cast<WORD>(cx));
    words.push_back(static_cast<WORD>(cy));
    words.push_back(0); // no menu
    words.push_back(0); // the dialog class
    words.push_back(0); // no title
    words.push_back(8); // point size
    for (const wchar_t* face = L"MS Shell Dlg"; *face; ++face)
        words.push_back(static_cast<WORD>(*face));
    words.push_back(0);
    std::vector<DWORD> aligned((words.size() + 1) / 2, 0);
    std::copy(words.begin(), words.end(), reinterpret_cast<WORD*>(aligned.data()));
    return aligned;
}

// A control's extent (HIMETRIC) in the dialog units of a page template.
void ExtentToDialogUnits(const SIZEL& extent, short& cx, short& cy)
{
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    HFONT font = CreateFontW(-MulDiv(8, dpiY, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg");
    HGDIOBJ before = SelectObject(screen, font);
    TEXTMETRICW text{};
    GetTextMetricsW(screen, &text);
    SIZE alphabet{};
    GetTextExtentPoint32W(screen, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                          &alphabet);
    SelectObject(screen, before);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    const int averageWidth = std::max(1, static_cast<int>((alphabet.cx / 26 + 1) / 2));
    const int height = std::max(1, static_cast<int>(text.tmHeight));
    const int pixelsX = MulDiv(extent.cx, dpiX, kHimetricPerInch);
    const int pixelsY = MulDiv(extent.cy, dpiY, kHimetricPerInch);
    cx = static_cast<short>(
        std::max<int>(kOwnPageWidth, (pixelsX * 4 + averageWidth - 1) / averageWidth));
    cy = static_cast<short>(std::max<int>(kOwnPageHeight, (pixelsY * 8 + height - 1) / height));
}

} // namespace

class CPageSite;

// The window a control sits in: a plain child of its tab, no dialog, so the
// sheet's dialog keyboard stops at it. As one tab stop of the sheet, it hands
// the focus on to the control.
constexpr wchar_t kControlHostClass[] = L"StandinControlHost";

// One tab of the dialog and, for an added page, the control on it.
class COptionsPageHost {
public:
    COptionsPageHost(COptionsDialog& dialog, COptionsDialog::PageRecord& record,
                     IDispatch* application)
        : m_dialog(dialog), m_record(record), m_application(application)
    {}
    ~COptionsPageHost() { LetGo(); }

    // Creates the control and sites it, before the sheet is shown: the tab
    // is as large as the control wants.
    void Create(const CPropertyPages::Page& page);
    PROPSHEETPAGEW Sheet();

    void OnStatusChange();
    // The window the control sits in (the site's window).
    HWND Window() const { return m_hostWindow; }
    HWND SheetWindow() const { return m_window ? GetParent(m_window) : nullptr; }
    void AmbientAsked(DISPID id) { m_record.ambientsAsked.push_back(id); }
    IDispatch* Application() const { return m_application; }
    void SetActiveObject(IOleInPlaceActiveObject* object)
    {
        m_activeObject = CComPtr<IOleInPlaceActiveObject>(object);
    }

    // A key for the control's windows goes to the control first, then, if
    // it gives it back, to the dialog. True when it was used.
    bool TranslateControlKey(const MSG& message);
    // A key with the focus on the dialog's own controls that is one of the
    // control's mnemonics goes to its OnMnemonic. True when it was used.
    bool TranslateMnemonic(const MSG& message);
    // A key the control does not take, as the dialog handles it: Enter is
    // OK, Esc is Cancel, Tab the sheet's next control after this one.
    bool DialogKey(const MSG& message);
    // On OK: a page whose tab was never shown is applied all the same.
    bool ApplyUnshown();

private:
    static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void MakeHostWindow();
    HWND ControlWindow() const;
    void Show();
    void Hide();
    void FocusControl();
    bool ApplyPage();
    void LetGo();

    COptionsDialog& m_dialog;
    COptionsDialog::PageRecord& m_record;
    IDispatch* m_application;
    std::vector<DWORD> m_template;
    HWND m_window = nullptr;     // the tab (the sheet's page dialog)
    HWND m_hostWindow = nullptr; // the control's parent in it
    bool m_everShown = false;
    bool m_shown = false;
    CComPtr<CPageSite> m_site;
    CComPtr<IOleObject> m_control;
    CComPtr<PropertyPage> m_page;
    CComPtr<IOleInPlaceActiveObject> m_activeObject;
};

// The control's site: client site, in-place site and frame, control site,
// page site and, through IDispatch, the ambient properties.
class CPageSite final : public CComObjectT<ComLifetime::Unlocked, PropertyPageSite, IOleClientSite,
                                           IOleInPlaceSite, IOleInPlaceFrame, IOleControlSite> {
public:
    explicit CPageSite(COptionsPageHost* host) : m_host(host) {}
    void Forget() { m_host = nullptr; }

    // IDispatch: the ambient properties.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override
    {
        if (m_host)
            m_host->AmbientAsked(id);
        if (!(flags & DISPATCH_PROPERTYGET) || !result)
            return DISP_E_MEMBERNOTFOUND;
        VariantInit(result);
        switch (id) {
        case DISPID_AMBIENT_USERMODE:
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
            return S_OK;
        case DISPID_AMBIENT_UIDEAD:
        case DISPID_AMBIENT_SHOWGRABHANDLES:
        case DISPID_AMBIENT_SHOWHATCHING:
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_FALSE;
            return S_OK;
        case DISPID_AMBIENT_BACKCOLOR:
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(0x80000000u | COLOR_BTNFACE);
            return S_OK;
        case DISPID_AMBIENT_LOCALEID:
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(GetUserDefaultLCID());
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

    // PropertyPageSite
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch** application) override
    {
        return GiveApplication(application);
    }
    HRESULT STDMETHODCALLTYPE get_Class(long* objectClass) override
    {
        if (!objectClass)
            return E_POINTER;
        *objectClass = kPropertyPageSiteClass;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Session(IDispatch** session) override
    {
        if (session)
            *session = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch** parent) override
    {
        return GiveApplication(parent);
    }
    HRESULT STDMETHODCALLTYPE OnStatusChange() override
    {
        if (m_host)
            m_host->OnStatusChange();
        return S_OK;
    }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override
    {
        if (moniker)
            *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override
    {
        if (container)
            *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (site and frame): the page the control sits on.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        if (!window)
            return E_POINTER;
        *window = m_host ? m_host->Window() : nullptr;
        return *window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override
    {
        return m_host && m_host->Window() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                               IOleInPlaceUIWindow** document, LPRECT position,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO info) override
    {
        if (!frame || !document || !position || !clip || !info)
            return E_POINTER;
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = nullptr;
        RECT area{};
        if (m_host && m_host->Window())
            GetClientRect(m_host->Window(), &area);
        *position = area;
        *clip = area;
        info->fMDIApp = FALSE;
        info->hwndFrame = m_host ? m_host->SheetWindow() : nullptr;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow, IOleInPlaceFrame: a dialog has no tool space
    // and no menus to share.
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override
    {
        return INPLACE_E_NOTOOLSPACE;
    }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override
    {
        if (m_host)
            m_host->SetActiveObject(object);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IOleControlSite: the keys the control hands back are the dialog's.
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** control) override
    {
        if (control)
            *control = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message, DWORD) override
    {
        return m_host && message && m_host->DialogKey(*message) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }

protected:
    void* QueryOther(REFIID iid) override
    {
        if (iid == IID_IOleWindow || iid == IID_IOleInPlaceUIWindow)
            return static_cast<IOleInPlaceFrame*>(this);
        return nullptr;
    }

private:
    HRESULT GiveApplication(IDispatch** application)
    {
        if (!application)
            return E_POINTER;
        *application = m_host ? m_host->Application() : nullptr;
        if (*application)
            (*application)->AddRef();
        return S_OK;
    }

    COptionsPageHost* m_host;
};

void COptionsPageHost::Create(const CPropertyPages::Page& page)
{
    short cx = kOwnPageWidth;
    short cy = kOwnPageHeight;
    HRESULT hr = S_OK;
    if (page.object) {
        hr = page.object->QueryInterface(IID_IOleObject, m_control.PutVoid());
    } else {
        CLSID clsid{};
        hr = CLSIDFromProgID(page.progId.c_str(), &clsid);
        if (SUCCEEDED(hr))
            hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  m_control.PutVoid());
    }
    if (SUCCEEDED(hr) && m_control) {
        m_site = CComPtr<CPageSite>(new CPageSite(this));
        // One call sites the control and tells it the ambients, where it
        // offers that; one that refuses it is sited the long way.
        CComPtr<IQuickActivate> quick;
        if (SUCCEEDED(m_control->QueryInterface(IID_IQuickActivate, quick.PutVoid())) && quick) {
            QACONTAINER container{};
            container.cbSize = sizeof container;
            container.pClientSite = static_cast<IOleClientSite*>(m_site.Get());
            container.dwAmbientFlags = QACONTAINER_USERMODE | QACONTAINER_MESSAGEREFLECT;
            container.colorFore = static_cast<OLE_COLOR>(0x80000000u | COLOR_WINDOWTEXT);
            container.colorBack = static_cast<OLE_COLOR>(0x80000000u | COLOR_BTNFACE);
            container.lcid = GetUserDefaultLCID();
            QACONTROL control{};
            control.cbSize = sizeof control;
            m_record.quickActivated = SUCCEEDED(quick->QuickActivate(&container, &control));
        }
        CComPtr<IPersistStreamInit> persist;
        m_control->QueryInterface(IID_IPersistStreamInit, persist.PutVoid());
        if (m_record.quickActivated) {
            if (persist)
                hr = persist->InitNew();
        } else {
            // Outlook's pages ask to be sited before they load.
            DWORD misc = 0;
            m_control->GetMiscStatus(DVASPECT_CONTENT, &misc);
            if (misc & OLEMISC_SETCLIENTSITEFIRST)
                hr = m_control->SetClientSite(static_cast<IOleClientSite*>(m_site.Get()));
            if (SUCCEEDED(hr) && persist)
                hr = persist->InitNew();
            if (SUCCEEDED(hr) && !(misc & OLEMISC_SETCLIENTSITEFIRST))
                hr = m_control->SetClientSite(static_cast<IOleClientSite*>(m_site.Get()));
        }
        if (SUCCEEDED(hr))
            hr = m_control->QueryInterface(IID_OutlookPropertyPage, m_page.PutVoid());
        SIZEL extent{};
        if (SUCCEEDED(hr) && SUCCEEDED(m_control->GetExtent(DVASPECT_CONTENT, &extent)))
            ExtentToDialogUnits(extent, cx, cy);
        if (FAILED(hr))
            LetGo();
    }
    m_record.created = hr;
    m_template = PageTemplate(cx, cy);
}

PROPSHEETPAGEW COptionsPageHost::Sheet()
{
    if (m_template.empty())
        m_template = PageTemplate(kOwnPageWidth, kOwnPageHeight);
    PROPSHEETPAGEW sheet{};
    sheet.dwSize = sizeof sheet;
    sheet.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
    sheet.pResource = reinterpret_cast<LPCDLGTEMPLATEW>(m_template.data());
    sheet.pszTitle = m_record.title.c_str();
    sheet.pfnDlgProc = PageProc;
    sheet.lParam = reinterpret_cast<LPARAM>(this);
    return sheet;
}

INT_PTR CALLBACK COptionsPageHost::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* host = reinterpret_cast<COptionsPageHost*>(
            reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(host));
        host->m_window = window;
        if (host->m_control)
            host->MakeHostWindow();
        else if (host->m_record.progId.empty() && host->m_record.title == L"Preferences")
            CreateWindowExW(
                0, L"STATIC", L"Outlook's own preferences are not part of the stand-in.",
                WS_CHILD | WS_VISIBLE, 12, 12, 360, 20, window, nullptr, nullptr, nullptr);
        return TRUE;
    }
    auto* host = reinterpret_cast<COptionsPageHost*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!host)
        return FALSE;
    switch (message) {
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == PSN_SETACTIVE) {
            // Also sent again after Apply to the tab in front: shown once.
            if (!host->m_shown)
                host->Show();
            return FALSE;
        }
        if (header->code == PSN_RESET) {
            // Cancel, also after an OK that a page refused.
            host->m_dialog.NoteCancel();
            return FALSE;
        }
        if (header->code == PSN_APPLY) {
            if (reinterpret_cast<const PSHNOTIFY*>(lParam)->lParam)
                host->m_dialog.NoteOk();
            // A page that refuses keeps the dialog open on it.
            const bool applied = host->ApplyPage();
            SetWindowLongPtrW(window, DWLP_MSGRESULT,
                              applied ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
            return TRUE;
        }
        return FALSE;
    }
    case WM_SHOWWINDOW:
        // Another tab came to the front (not the sheet itself going).
        if (!wParam && lParam == 0 && host->m_shown)
            host->Hide();
        return FALSE;
    case WM_SIZE:
        if (host->m_hostWindow)
            MoveWindow(host->m_hostWindow, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return FALSE;
    case WM_DESTROY:
        host->LetGo();
        host->m_window = nullptr;
        host->m_hostWindow = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

LRESULT CALLBACK COptionsPageHost::HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* host = reinterpret_cast<COptionsPageHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        host = static_cast<COptionsPageHost*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
    }
    if (host && message == WM_SETFOCUS && window == host->m_hostWindow) {
        // Tabbed onto from the sheet: the control takes the focus.
        host->FocusControl();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void COptionsPageHost::MakeHostWindow()
{
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = HostProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kControlHostClass;
        return RegisterClassExW(&windowClass);
    }();
    (void)registered;
    RECT area{};
    GetClientRect(m_window, &area);
    m_hostWindow = CreateWindowExW(0, kControlHostClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0,
                                   0, area.right, area.bottom, m_window, nullptr,
                                   GetModuleHandleW(nullptr), this);
}

HWND COptionsPageHost::ControlWindow() const
{
    CComPtr<IOleInPlaceObject> inPlace;
    HWND window = nullptr;
    if (m_control && SUCCEEDED(m_control->QueryInterface(IID_IOleInPlaceObject, inPlace.PutVoid())))
        inPlace->GetWindow(&window);
    return window;
}

void COptionsPageHost::Show()
{
    if (!m_control || !m_hostWindow)
        return;
    RECT area{};
    GetClientRect(m_hostWindow, &area);
    auto* site = static_cast<IOleClientSite*>(m_site.Get());
    HRESULT hr = S_OK;
    if (!ControlWindow()) {
        hr = m_control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, m_hostWindow, &area);
        if (SUCCEEDED(hr))
            ++m_record.activations;
    }
    if (SUCCEEDED(hr) && m_everShown)
        hr = m_control->DoVerb(OLEIVERB_SHOW, nullptr, site, 0, m_hostWindow, &area);
    m_shown = true;
    if (!m_everShown) {
        m_everShown = true;
        m_record.activated = SUCCEEDED(hr);
        VARIANT_BOOL dirty = VARIANT_FALSE;
        if (m_page && SUCCEEDED(m_page->get_Dirty(&dirty)))
            m_record.dirtyWhenShown = dirty == VARIANT_TRUE;
    }
}

void COptionsPageHost::Hide()
{
    m_shown = false;
    if (!m_control)
        return;
    RECT area{};
    if (m_hostWindow)
        GetClientRect(m_hostWindow, &area);
    m_control->DoVerb(OLEIVERB_HIDE, nullptr, static_cast<IOleClientSite*>(m_site.Get()), 0,
                      m_hostWindow, &area);
    if (m_dialog.GetHiddenTab() == COptionsDialog::HiddenTab::Deactivate) {
        CComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(m_control->QueryInterface(IID_IOleInPlaceObject, inPlace.PutVoid())))
            inPlace->InPlaceDeactivate();
        m_activeObject.Release();
    }
}

void COptionsPageHost::FocusControl()
{
    if (!m_control)
        return;
    RECT area{};
    GetClientRect(m_hostWindow, &area);
    m_control->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(m_site.Get()), 0,
                      m_hostWindow, &area);
    if (HWND window = ControlWindow())
        SetFocus(window);
}

bool COptionsPageHost::TranslateControlKey(const MSG& message)
{
    HWND window = ControlWindow();
    if (!window || (message.hwnd != window && !IsChild(window, message.hwnd)))
        return false;
    CComPtr<IOleInPlaceActiveObject> active = m_activeObject;
    if (!active)
        m_control->QueryInterface(IID_IOleInPlaceActiveObject, active.PutVoid());
    MSG copy = message;
    if (active && active->TranslateAccelerator(&copy) == S_OK)
        return true;
    if (DialogKey(message))
        return true;
    // Neither took it: the window it was meant for gets it as it is.
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

bool COptionsPageHost::TranslateMnemonic(const MSG& message)
{
    if (!m_shown || message.message != WM_SYSKEYDOWN)
        return false;
    HWND window = ControlWindow();
    if (!window || !IsWindowVisible(window))
        return false;
    CComPtr<IOleControl> control;
    if (FAILED(m_control->QueryInterface(IID_IOleControl, control.PutVoid())))
        return false;
    CONTROLINFO info{};
    info.cb = sizeof info;
    if (FAILED(control->GetControlInfo(&info)) || !info.hAccel || !info.cAccel)
        return false;
    std::vector<ACCEL> keys(info.cAccel);
    keys.resize(static_cast<size_t>(
        CopyAcceleratorTableW(info.hAccel, keys.data(), static_cast<int>(keys.size()))));
    for (const ACCEL& key : keys)
        if ((key.fVirt & FVIRTKEY) && key.key == message.wParam) {
            MSG copy = message;
            return control->OnMnemonic(&copy) == S_OK;
        }
    return false;
}

bool COptionsPageHost::DialogKey(const MSG& message)
{
    HWND sheet = SheetWindow();
    if (!sheet || message.message != WM_KEYDOWN)
        return false;
    switch (message.wParam) {
    case VK_RETURN:
        PropSheet_PressButton(sheet, PSBTN_OK);
        return true;
    case VK_ESCAPE:
    case VK_CANCEL:
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
        return true;
    case VK_TAB: {
        // The control is one stop of the sheet's order: the next one is
        // after (or before) its window.
        HWND next = GetNextDlgTabItem(sheet, m_hostWindow, GetKeyState(VK_SHIFT) < 0);
        if (!next || next == m_hostWindow)
            return false;
        SendMessageW(sheet, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
        return true;
    }
    default:
        return false;
    }
}

void COptionsPageHost::OnStatusChange()
{
    ++m_record.statusChanges;
    VARIANT_BOOL dirty = VARIANT_FALSE;
    if (m_page)
        m_page->get_Dirty(&dirty);
    m_record.dirtyAtStatusChange.push_back(dirty == VARIANT_TRUE);
    if (dirty == VARIANT_TRUE && m_window)
        PropSheet_Changed(GetParent(m_window), m_window);
}

bool COptionsPageHost::ApplyPage()
{
    if (!m_page)
        return true;
    const HRESULT hr = m_page->Apply();
    m_record.applies.push_back(hr);
    return SUCCEEDED(hr);
}

bool COptionsPageHost::ApplyUnshown()
{
    return m_window || ApplyPage();
}

void COptionsPageHost::LetGo()
{
    m_shown = false;
    m_activeObject.Release();
    if (m_control) {
        CComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(m_control->QueryInterface(IID_IOleInPlaceObject, inPlace.PutVoid())))
            inPlace->InPlaceDeactivate();
        m_control->Close(OLECLOSE_NOSAVE);
        m_control->SetClientSite(nullptr);
    }
    m_page.Release();
    m_control.Release();
    if (m_site) {
        m_site->Forget();
        // What the page still holds of its site once it was told to let go.
        m_record.siteReferencesLeft = static_cast<long>(m_site->RefCount()) - 1;
        m_site.Release();
    }
}

COptionsDialog::COptionsDialog(const CPropertyPages& pages, IDispatch* application)
    : m_application(application)
{
    m_records.reserve(pages.Pages().size() + 1);
    m_records.push_back({});
    m_records.back().title = L"Preferences";
    m_hosts.push_back(std::make_unique<COptionsPageHost>(*this, m_records.back(), application));
    for (const auto& page : pages.Pages()) {
        m_records.push_back({});
        m_records.back().title = page.title;
        m_records.back().progId = page.progId;
        m_hosts.push_back(std::make_unique<COptionsPageHost>(*this, m_records.back(), application));
        m_hosts.back()->Create(page);
    }
}

COptionsDialog::~COptionsDialog() = default;

INT_PTR COptionsDialog::Run(HWND owner)
{
    std::vector<PROPSHEETPAGEW> sheets;
    for (const auto& host : m_hosts)
        sheets.push_back(host->Sheet());
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    // Modeless, with the dialog's own message loop: the keys for a control
    // go to the control before the sheet sees them, as in a container.
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOCONTEXTHELP | PSH_MODELESS;
    header.hwndParent = owner;
    header.pszCaption = L"Options";
    header.nPages = static_cast<UINT>(sheets.size());
    header.ppsp = sheets.data();
    m_okPressed = false;
    const INT_PTR made = PropertySheetW(&header);
    m_sheet = made > 0 ? reinterpret_cast<HWND>(made) : nullptr;
    if (!m_sheet) {
        m_hosts.clear();
        return -1;
    }
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    MSG message{};
    bool quit = false;
    // The sheet has no page in front once OK or Cancel ended it.
    while (PropSheet_GetCurrentPageHwnd(m_sheet)) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            quit = true;
            break;
        }
        if (!TranslateKey(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // Pages whose tab never showed are applied all the same on OK.
    if (m_okPressed)
        for (const auto& host : m_hosts)
            host->ApplyUnshown();
    if (ownerWasEnabled)
        EnableWindow(owner, TRUE);
    DestroyWindow(m_sheet);
    m_sheet = nullptr;
    // Pages whose tab never showed are let go of here.
    m_hosts.clear();
    if (quit)
        PostQuitMessage(static_cast<int>(message.wParam));
    return m_okPressed ? IDOK : IDCANCEL;
}

bool COptionsDialog::TranslateKey(MSG& message)
{
    if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST)
        return PropSheet_IsDialogMessage(m_sheet, &message) != FALSE;
    for (const auto& host : m_hosts)
        if (host->TranslateControlKey(message))
            return true;
    for (const auto& host : m_hosts)
        if (host->TranslateMnemonic(message))
            return true;
    return PropSheet_IsDialogMessage(m_sheet, &message) != FALSE;
}

} // namespace standin
