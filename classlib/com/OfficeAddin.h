// The Office add-in interfaces, declared from their published layout (the
// compilers' headers do not carry them): IDTExtensibility2, by which an
// Office host connects and disconnects an add-in; IDTRibbonExtensibility,
// by which it asks for ribbon markup; IRibbonControl, the control a ribbon
// callback receives.
#pragma once

#include <windows.h>
#include <oaidl.h>

// How the host connected the add-in (OnConnection).
enum ext_ConnectMode {
    ext_cm_AfterStartup = 0,
    ext_cm_Startup = 1,
    ext_cm_External = 2,
    ext_cm_CommandLine = 3,
};

// Why the host disconnects it (OnDisconnection).
enum ext_DisconnectMode {
    ext_dm_HostShutdown = 0,
    ext_dm_UserClosed = 1,
};

// {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}
inline constexpr IID IID_IDTExtensibility2 = {
    0xb65ad801, 0xabaf, 0x11d0, {0xbb, 0x8b, 0x00, 0xa0, 0xc9, 0x0f, 0x27, 0x44}};
// {000C0396-0000-0000-C000-000000000046}
inline constexpr IID IID_IDTRibbonExtensibility = {
    0x000c0396, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
// {000C0395-0000-0000-C000-000000000046}
inline constexpr IID IID_IRibbonControl = {0x000c0395, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IDTExtensibility2 : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, ext_ConnectMode mode,
                                                   IDispatch* addInInstance,
                                                   SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode mode,
                                                      SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

struct IDTRibbonExtensibility : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* ribbonXml) = 0;
};

struct IRibbonControl : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Id(BSTR* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Context(IDispatch** context) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Tag(BSTR* tag) = 0;
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IDTExtensibility2, 0xb65ad801, 0xabaf, 0x11d0, 0xbb, 0x8b, 0x00, 0xa0, 0xc9, 0x0f,
                0x27, 0x44)
__CRT_UUID_DECL(IDTRibbonExtensibility, 0x000c0396, 0, 0, 0xc0, 0, 0, 0, 0, 0, 0, 0x46)
__CRT_UUID_DECL(IRibbonControl, 0x000c0395, 0, 0, 0xc0, 0, 0, 0, 0, 0, 0, 0x46)
#endif
