#include "classlib/control/CComCompositeControl.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "classlib/strings/CString.h"

namespace {

constexpr LONG kHimetricPerInch = 2540;

// IOleControlSite::TranslateAccelerator's modifier flags (KEYMODIFIERS of
// the OLE controls interfaces; MinGW's headers lack them).
constexpr DWORD kKeyModShift = 0x1;
constexpr DWORD kKeyModControl = 0x2;
constexpr DWORD kKeyModAlt = 0x4;

// Reads a sz_Or_Ord field of a dialog template and steps past it.
const WORD* SkipSzOrOrd(const WORD* at)
{
    if (*at == 0xFFFF)
        return at + 2;
    while (*at)
        ++at;
    return at + 1;
}

// The template's size in dialog units, and its font when it names one.
struct TemplateMetrics {
    short cx = 0;
    short cy = 0;
    WORD pointSize = 0;
    WORD weight = FW_NORMAL;
    BYTE italic = 0;
    BYTE charset = DEFAULT_CHARSET;
    const wchar_t* face = nullptr;
};

bool ReadTemplate(HINSTANCE module, UINT id, TemplateMetrics& metrics)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!bytes)
        return false;
    const WORD* words = reinterpret_cast<const WORD*>(bytes);
    const bool extended = words[0] == 1 && words[1] == 0xFFFF;
    DWORD style = 0;
    const WORD* at = nullptr;
    if (extended) {
        // dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y, cx, cy
        std::memcpy(&style, bytes + 12, sizeof style);
        const short* size = reinterpret_cast<const short*>(bytes + 22);
        metrics.cx = size[0];
        metrics.cy = size[1];
        at = reinterpret_cast<const WORD*>(bytes + 26);
    } else {
        // style, exStyle, cdit, x, y, cx, cy
        std::memcpy(&style, bytes, sizeof style);
        const short* size = reinterpret_cast<const short*>(bytes + 14);
        metrics.cx = size[0];
        metrics.cy = size[1];
        at = reinterpret_cast<const WORD*>(bytes + 18);
    }
    at = SkipSzOrOrd(at); // menu
    at = SkipSzOrOrd(at); // class
    at = SkipSzOrOrd(at); // title
    if (style & DS_SETFONT) {
        metrics.pointSize = *at++;
        if (extended) {
            metrics.weight = *at++;
            const BYTE* flags = reinterpret_cast<const BYTE*>(at);
            metrics.italic = flags[0];
            metrics.charset = flags[1];
            ++at;
        }
        metrics.face = reinterpret_cast<const wchar_t*>(at);
    }
    return true;
}

// Dialog units to HIMETRIC: a horizontal unit is a quarter of the font's
// average character width, a vertical one an eighth of its height, as the
// dialog manager measures them.
SIZEL TemplateExtent(HINSTANCE module, UINT id)
{
    SIZEL extent{0, 0};
    TemplateMetrics metrics;
    if (!ReadTemplate(module, id, metrics))
        return extent;
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    HFONT font = nullptr;
    if (metrics.face)
        font = CreateFontW(-MulDiv(metrics.pointSize, dpiY, 72), 0, 0, 0, metrics.weight,
                           metrics.italic, FALSE, FALSE, metrics.charset, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, metrics.face);
    HGDIOBJ before = SelectObject(screen, font ? font : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW text{};
    GetTextMetricsW(screen, &text);
    static const wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE alphabet{};
    GetTextExtentPoint32W(screen, kAlphabet, 52, &alphabet);
    const int averageWidth = (alphabet.cx / 26 + 1) / 2;
    SelectObject(screen, before);
    if (font)
        DeleteObject(font);
    ReleaseDC(nullptr, screen);
    const int pixelsX = MulDiv(metrics.cx, averageWidth, 4);
    const int pixelsY = MulDiv(metrics.cy, text.tmHeight, 8);
    extent.cx = MulDiv(pixelsX, kHimetricPerInch, dpiX);
    extent.cy = MulDiv(pixelsY, kHimetricPerInch, dpiY);
    return extent;
}

} // namespace

CComCompositeControl::CComCompositeControl(IUnknown& owner, REFCLSID clsid, UINT templateId,
                                           DWORD miscStatus)
    : CComPartT(owner), CDialog(templateId), m_clsid(clsid), m_miscStatus(miscStatus)
{
    m_naturalExtent = TemplateExtent(GetResourceModule(), templateId);
    m_extent = m_naturalExtent;
}

CComCompositeControl::~CComCompositeControl()
{
    // The owner is going: nothing it holds may call back into it.
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    if (m_mnemonics)
        ::DestroyAcceleratorTable(m_mnemonics);
}

void* CComCompositeControl::FindControlInterface(REFIID iid)
{
    if (iid == IID_IOleObject)
        return static_cast<IOleObject*>(this);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
        return static_cast<IOleInPlaceObject*>(this);
    if (iid == IID_IOleInPlaceActiveObject)
        return static_cast<IOleInPlaceActiveObject*>(this);
    if (iid == IID_IOleControl)
        return static_cast<IOleControl*>(this);
    if (iid == IID_IViewObject || iid == IID_IViewObject2)
        return static_cast<IViewObject2*>(this);
    if (iid == IID_IPersist || iid == IID_IPersistStreamInit)
        return static_cast<IPersistStreamInit*>(this);
    if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
        return static_cast<IProvideClassInfo2*>(this);
    return nullptr;
}

void CComCompositeControl::SetTypeLibrary(REFGUID library, WORD major, WORD minor)
{
    m_typeLibrary = library;
    m_typeLibraryMajor = major;
    m_typeLibraryMinor = minor;
}

// IOleObject

HRESULT CComCompositeControl::SetClientSite(IOleClientSite* site)
{
    // The old site is let go of whatever comes next, null included: a
    // container that ends with SetClientSite(null) gets its site back.
    m_clientSite = CComPtr<IOleClientSite>(site);
    OnClientSiteChanged(site);
    return S_OK;
}

HRESULT CComCompositeControl::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    *site = m_clientSite.Get();
    if (*site)
        (*site)->AddRef();
    return S_OK;
}

HRESULT CComCompositeControl::Close(DWORD)
{
    InPlaceDeactivate();
    m_viewSink.Release();
    if (m_adviseHolder) {
        m_adviseHolder->SendOnClose();
        m_adviseHolder.Release();
    }
    return S_OK;
}

HRESULT CComCompositeControl::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (!moniker)
        return E_POINTER;
    *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT CComCompositeControl::GetClipboardData(DWORD, IDataObject** data)
{
    if (!data)
        return E_POINTER;
    *data = nullptr;
    return E_NOTIMPL;
}

HRESULT CComCompositeControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT)
{
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
        return ActivateInPlace(true, site);
    case OLEIVERB_INPLACEACTIVATE:
        return ActivateInPlace(false, site);
    case OLEIVERB_HIDE:
        if (m_hWnd)
            ::ShowWindow(m_hWnd, SW_HIDE);
        return S_OK;
    default:
        return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

HRESULT CComCompositeControl::ActivateInPlace(bool uiActivate, IOleClientSite* site)
{
    if (!m_inPlaceSite) {
        IOleClientSite* from = m_clientSite ? m_clientSite.Get() : site;
        if (!from)
            return E_UNEXPECTED;
        CComPtr<IOleInPlaceSite> inPlace;
        if (FAILED(from->QueryInterface(IID_IOleInPlaceSite, inPlace.PutVoid())) || !inPlace)
            return E_NOINTERFACE;
        if (inPlace->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        HRESULT hr = inPlace->OnInPlaceActivate();
        if (FAILED(hr))
            return hr;
        m_inPlaceSite = std::move(inPlace);
    }
    // The window may have gone while the control stayed active (its
    // container destroyed the parent): a new one is made in the site's
    // window as it is now.
    if (!m_hWnd) {
        HWND parent = nullptr;
        CComPtr<IOleInPlaceFrame> frame;
        CComPtr<IOleInPlaceUIWindow> uiWindow;
        RECT position{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        HRESULT hr = m_inPlaceSite->GetWindow(&parent);
        if (SUCCEEDED(hr))
            hr = m_inPlaceSite->GetWindowContext(frame.Put(), uiWindow.Put(), &position, &clip,
                                                 &frameInfo);
        if (SUCCEEDED(hr) && !Create(parent))
            hr = E_FAIL;
        if (FAILED(hr)) {
            CComPtr<IOleInPlaceSite> dropped = std::move(m_inPlaceSite);
            m_uiActive = false;
            dropped->OnInPlaceDeactivate();
            return hr;
        }
        m_frame = std::move(frame);
        m_uiWindow = std::move(uiWindow);
        ::SetWindowPos(m_hWnd, nullptr, position.left, position.top, position.right - position.left,
                       position.bottom - position.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Every verb that activates shows: a control the container hid (a tab
    // switched away) comes back with its next activation.
    if (!(::GetWindowLongA(m_hWnd, GWL_STYLE) & WS_VISIBLE))
        ::ShowWindow(m_hWnd, SW_SHOW);
    if (uiActivate && !m_uiActive) {
        m_uiActive = true;
        m_inPlaceSite->OnUIActivate();
        if (m_frame)
            m_frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
        if (m_uiWindow)
            m_uiWindow->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    }
    return S_OK;
}

HRESULT CComCompositeControl::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (!verbs)
        return E_POINTER;
    return OleRegEnumVerbs(m_clsid, verbs);
}

HRESULT CComCompositeControl::GetUserClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT CComCompositeControl::GetUserType(DWORD form, LPOLESTR* type)
{
    if (!type)
        return E_POINTER;
    return OleRegGetUserType(m_clsid, form, type);
}

HRESULT CComCompositeControl::SetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    m_extent = *size;
    return S_OK;
}

HRESULT CComCompositeControl::GetExtent(DWORD aspect, SIZEL* size)
{
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *size = m_extent;
    return S_OK;
}

HRESULT CComCompositeControl::Advise(IAdviseSink* sink, DWORD* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!m_adviseHolder) {
        HRESULT hr = CreateOleAdviseHolder(m_adviseHolder.Put());
        if (FAILED(hr))
            return hr;
    }
    return m_adviseHolder->Advise(sink, cookie);
}

HRESULT CComCompositeControl::Unadvise(DWORD cookie)
{
    return m_adviseHolder ? m_adviseHolder->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

HRESULT CComCompositeControl::EnumAdvise(IEnumSTATDATA** advises)
{
    if (!advises)
        return E_POINTER;
    *advises = nullptr;
    return m_adviseHolder ? m_adviseHolder->EnumAdvise(advises) : E_FAIL;
}

HRESULT CComCompositeControl::GetMiscStatus(DWORD, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = m_miscStatus;
    return S_OK;
}

// IOleWindow

HRESULT CComCompositeControl::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = m_hWnd;
    return m_hWnd ? S_OK : E_FAIL;
}

// IOleInPlaceObject

HRESULT CComCompositeControl::InPlaceDeactivate()
{
    if (!m_inPlaceSite)
        return S_OK;
    UIDeactivate();
    if (m_hWnd && ::IsWindow(m_hWnd))
        CDialog::DestroyWindow();
    CComPtr<IOleInPlaceSite> site = std::move(m_inPlaceSite);
    m_frame.Release();
    m_uiWindow.Release();
    site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT CComCompositeControl::UIDeactivate()
{
    if (!m_uiActive)
        return S_OK;
    m_uiActive = false;
    if (m_uiWindow)
        m_uiWindow->SetActiveObject(nullptr, nullptr);
    if (m_frame)
        m_frame->SetActiveObject(nullptr, nullptr);
    if (m_inPlaceSite)
        m_inPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT CComCompositeControl::SetObjectRects(LPCRECT position, LPCRECT)
{
    if (!position)
        return E_POINTER;
    if (m_hWnd)
        ::SetWindowPos(m_hWnd, nullptr, position->left, position->top,
                       position->right - position->left, position->bottom - position->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

// IOleInPlaceActiveObject

HRESULT CComCompositeControl::TranslateAccelerator(LPMSG message)
{
    if (!message || !m_hWnd)
        return S_FALSE;
    // Only keys meant for this control's own windows are its business.
    if (message->hwnd != m_hWnd && !::IsChild(m_hWnd, message->hwnd))
        return S_FALSE;
    if (IsContainersKey(*message)) {
        // The container's: its default and cancel buttons, its next
        // control. A container with no control site handles what it is
        // given back.
        CComPtr<IOleControlSite> controlSite;
        if (m_clientSite &&
            SUCCEEDED(m_clientSite->QueryInterface(IID_IOleControlSite, controlSite.PutVoid())) &&
            controlSite && controlSite->TranslateAccelerator(message, KeyModifiers()) == S_OK)
            return S_OK;
        return S_FALSE;
    }
    return ::IsDialogMessageA(m_hWnd, message) ? S_OK : S_FALSE;
}

DWORD CComCompositeControl::KeyModifiers()
{
    DWORD modifiers = 0;
    if (::GetKeyState(VK_SHIFT) < 0)
        modifiers |= kKeyModShift;
    if (::GetKeyState(VK_CONTROL) < 0)
        modifiers |= kKeyModControl;
    if (::GetKeyState(VK_MENU) < 0)
        modifiers |= kKeyModAlt;
    return modifiers;
}

HWND CComCompositeControl::FocusItem() const
{
    // The dialog item that holds the focus, also when the focus is on a
    // part of it (a combo box's edit, a list's header).
    HWND item = ::GetFocus();
    if (!item || (item != m_hWnd && !::IsChild(m_hWnd, item)))
        return nullptr;
    while (item != m_hWnd && ::GetParent(item) != m_hWnd)
        item = ::GetParent(item);
    return item == m_hWnd ? nullptr : item;
}

bool CComCompositeControl::IsContainersKey(const MSG& message) const
{
    // Keys go down as WM_KEYDOWN; the characters typed are the focused
    // control's.
    if (message.message != WM_KEYDOWN)
        return false;
    HWND item = FocusItem();
    const LRESULT code = item ? ::SendMessageA(item, WM_GETDLGCODE, message.wParam,
                                               reinterpret_cast<LPARAM>(const_cast<MSG*>(&message)))
                              : 0;
    if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE))
        return false;
    switch (message.wParam) {
    case VK_RETURN:
        // A push button with the focus is pressed by Enter, as in any
        // dialog; otherwise Enter is the container's OK.
        return !(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
    case VK_ESCAPE:
    case VK_CANCEL:
    case VK_EXECUTE:
        return true;
    case VK_TAB: {
        if ((code & DLGC_WANTTAB) || ::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0)
            return false;
        // Tab past the last control (Shift+Tab before the first) leaves
        // the control for the container's next one instead of wrapping.
        const bool backwards = ::GetKeyState(VK_SHIFT) < 0;
        // (Searching backwards needs a control to start from: the one
        // before the first is the last.)
        HWND first = ::GetNextDlgTabItem(m_hWnd, nullptr, FALSE);
        HWND last = first ? ::GetNextDlgTabItem(m_hWnd, first, TRUE) : nullptr;
        return !item || item == (backwards ? first : last);
    }
    default:
        return false;
    }
}

// IOleControl

HRESULT CComCompositeControl::GetControlInfo(CONTROLINFO* info)
{
    if (!info)
        return E_POINTER;
    // The mnemonics of the dialog's labels and buttons, for a container
    // to hand over while the focus is on one of its own controls.
    if (!m_mnemonics && m_hWnd) {
        std::vector<ACCEL> keys;
        for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            char text[256] = {};
            ::GetWindowTextA(child, text, sizeof text);
            for (const char* at = std::strchr(text, '&'); at && at[1];
                 at = std::strchr(at + 2, '&')) {
                if (at[1] == '&')
                    continue;
                const SHORT key = ::VkKeyScanA(at[1]);
                if (key != -1)
                    keys.push_back({FALT | FVIRTKEY, static_cast<WORD>(LOBYTE(key)), 0});
                break;
            }
        }
        if (!keys.empty())
            m_mnemonics = ::CreateAcceleratorTableA(keys.data(), static_cast<int>(keys.size()));
        m_mnemonicCount = m_mnemonics ? static_cast<USHORT>(keys.size()) : 0;
    }
    info->hAccel = m_mnemonics;
    info->cAccel = m_mnemonicCount;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT CComCompositeControl::OnMnemonic(LPMSG message)
{
    if (!message || !m_hWnd)
        return E_INVALIDARG;
    MSG mnemonic = *message;
    if (mnemonic.message == WM_SYSKEYDOWN || mnemonic.message == WM_KEYDOWN) {
        // The container saw the key; the dialog looks for its character.
        const UINT character =
            ::MapVirtualKeyA(static_cast<UINT>(mnemonic.wParam), MAPVK_VK_TO_CHAR);
        if (!character)
            return S_FALSE;
        char lower = static_cast<char>(character & 0xFF);
        ::CharLowerBuffA(&lower, 1);
        mnemonic.message = WM_SYSCHAR;
        mnemonic.wParam = static_cast<unsigned char>(lower);
    }
    mnemonic.hwnd = m_hWnd;
    return ::IsDialogMessageA(m_hWnd, &mnemonic) ? S_OK : S_FALSE;
}

// IViewObject2

HRESULT CComCompositeControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                   LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                   ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!dc || !bounds)
        return E_INVALIDARG;
    RECT area{bounds->left, bounds->top, bounds->right, bounds->bottom};
    if (!m_hWnd) {
        // Not active: the dialog's face, empty.
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
        return S_OK;
    }
    // Active: the window as it is, painted into the container's DC.
    const int saved = SaveDC(dc);
    SetViewportOrgEx(dc, area.left, area.top, nullptr);
    ::SendMessageA(m_hWnd, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                   PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND | PRF_NONCLIENT);
    RestoreDC(dc, saved);
    return S_OK;
}

HRESULT CComCompositeControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                          LOGPALETTE** colors)
{
    if (!colors)
        return E_POINTER;
    *colors = nullptr;
    return S_FALSE;
}

HRESULT CComCompositeControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    m_viewAspects = aspects;
    m_viewFlags = flags;
    m_viewSink = CComPtr<IAdviseSink>(sink);
    return S_OK;
}

HRESULT CComCompositeControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects)
        *aspects = m_viewAspects;
    if (flags)
        *flags = m_viewFlags;
    if (sink) {
        *sink = m_viewSink.Get();
        if (*sink)
            (*sink)->AddRef();
    }
    return S_OK;
}

HRESULT CComCompositeControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

// IPersistStreamInit

HRESULT CComCompositeControl::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT CComCompositeControl::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

// IProvideClassInfo2

HRESULT CComCompositeControl::GetClassInfo(ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    CComPtr<ITypeLib> library;
    HRESULT hr = LoadRegTypeLib(m_typeLibrary, m_typeLibraryMajor, m_typeLibraryMinor,
                                LOCALE_NEUTRAL, library.Put());
    if (FAILED(hr))
        return hr;
    return library->GetTypeInfoOfGuid(m_clsid, info);
}

HRESULT CComCompositeControl::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid)
        return E_POINTER;
    *guid = GUID_NULL;
    // The control fires no events: it has no source interface to name.
    return kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID ? E_FAIL : E_INVALIDARG;
}
