// CComCompositeControl: a control made of a dialog template, for a container
// that hosts it in place (a window of the container's is its parent). It
// serves what a control container calls of an in-place-active windowed
// control: IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject,
// IOleControl, IViewObject2, IPersistStreamInit and IProvideClassInfo2.
//
// The interfaces are faces of their owner, a COM object of the class
// library (CComObject) that derives from this class as well: their
// references are the owner's, and the owner answers their IIDs from
// QueryOther by calling FindControlInterface.
//
//     class CPage final : public CComObject<IMyPage>, public CComCompositeControl {
//         CPage() : CComCompositeControl(static_cast<IMyPage&>(*this), kClsid, IDD_PAGE, 0) {}
//         void* QueryOther(REFIID iid) override { return FindControlInterface(iid); }
//     };
//
// The dialog (a child template: WS_CHILD | DS_CONTROL) is made when the
// container activates the control in place (DoVerb), made again by the next
// activation when it has gone, and destroyed when the container deactivates
// it or closes it, so every message handler of CDialog works on the
// control's window. Every activating verb shows it, also after OLEIVERB_HIDE.
//
// The keyboard: a container whose IsDialogMessage reaches into the control
// (a dialog parent) gets the dialog keyboard through DS_CONTROL. A container
// that hands its keys to TranslateAccelerator gets from the control's own
// dialog Tab between its controls, mnemonics and arrow keys; Enter (unless a
// push button has the focus), Esc, and Tab past the last control (Shift+Tab
// before the first) go to the container: to its IOleControlSite's
// TranslateAccelerator, and back to the container (S_FALSE) when that does
// not take them. GetControlInfo gives the mnemonics, for OnMnemonic while the
// focus is on the container's own controls.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "classlib/com/CComPart.h"
#include "classlib/com/CComPtr.h"
#include "classlib/ui/CDialog.h"

class CComCompositeControl
    : public CComPartT<ComIdentity::Owners, IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject,
                       IOleControl, IViewObject2, IPersistStreamInit, IProvideClassInfo2>,
      public CDialog {
public:
    // owner: the COM object this control is a face of. clsid: the class
    // (for GetUserClassID and the class information). templateId: the
    // dialog. miscStatus: what GetMiscStatus answers.
    CComCompositeControl(IUnknown& owner, REFCLSID clsid, UINT templateId, DWORD miscStatus);
    ~CComCompositeControl() override;

    // The control's pointer for one of its interfaces (and their bases:
    // IOleWindow, IViewObject, IPersist, IProvideClassInfo), not AddRefed;
    // null for any other.
    void* FindControlInterface(REFIID iid);

    // The natural size, in HIMETRIC: the dialog's, from its template.
    SIZEL GetNaturalExtent() const { return m_naturalExtent; }
    IOleClientSite* GetClientSiteNow() const { return m_clientSite.Get(); }
    bool IsInPlaceActive() const { return m_inPlaceSite != nullptr; }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                     LPCRECT position) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow (IOleInPlaceObject, IOleInPlaceActiveObject)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(LPMSG message) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

    // IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE*, HDC,
                                   HDC dc, LPCRECTL bounds, LPCRECTL,
                                   BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                          LOGPALETTE** colors) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override;

    // IPersistStreamInit: the control keeps no state of its own in a
    // container's storage; its settings live elsewhere.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(IStream*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }

    // IProvideClassInfo2: the coclass from the registered type library.
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

protected:
    // The type library the coclass is described in (for GetClassInfo).
    void SetTypeLibrary(REFGUID library, WORD major, WORD minor);

    // After SetClientSite has taken (or dropped, with null) the site.
    virtual void OnClientSiteChanged(IOleClientSite*) {}

    // The control's dialog is a child: Enter and Esc belong to the
    // container's dialog, never end this one.
    void OnOK() override {}
    void OnCancel() override {}

private:
    HRESULT ActivateInPlace(bool uiActivate, IOleClientSite* site);
    // Whether a key the control was handed is its container's to handle
    // (Enter, Esc, Tab out of the control).
    bool IsContainersKey(const MSG& message) const;
    HWND FocusItem() const;
    static DWORD KeyModifiers();

    CLSID m_clsid;
    DWORD m_miscStatus;
    SIZEL m_naturalExtent{0, 0};
    SIZEL m_extent{0, 0};
    GUID m_typeLibrary = GUID_NULL;
    WORD m_typeLibraryMajor = 1;
    WORD m_typeLibraryMinor = 0;

    CComPtr<IOleClientSite> m_clientSite;
    CComPtr<IOleAdviseHolder> m_adviseHolder;
    CComPtr<IAdviseSink> m_viewSink;
    DWORD m_viewAspects = 0;
    DWORD m_viewFlags = 0;
    CComPtr<IOleInPlaceSite> m_inPlaceSite;
    CComPtr<IOleInPlaceFrame> m_frame;
    CComPtr<IOleInPlaceUIWindow> m_uiWindow;
    bool m_uiActive = false;
    HACCEL m_mnemonics = nullptr;
    USHORT m_mnemonicCount = 0;
};
