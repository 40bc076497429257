// Outlook's options-page interfaces, declared from their published layout
// (the compilers' headers do not carry them): PropertyPage, which a page of
// Outlook's Options dialog serves, and PropertyPageSite, which Outlook's
// client site answers so that a page can say it changed. Both are dual;
// the page and its site call each other through the virtual table.
#pragma once

#include <windows.h>
#include <oaidl.h>

// {0006307E-0000-0000-C000-000000000046}
inline constexpr IID IID_OutlookPropertyPage = {0x0006307e, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0006307F-0000-0000-C000-000000000046}
inline constexpr IID IID_OutlookPropertyPageSite = {
    0x0006307f, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

struct PropertyPage : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetPageInfo(BSTR* helpFile, long* helpContext) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Dirty(VARIANT_BOOL* dirty) = 0;
    virtual HRESULT STDMETHODCALLTYPE Apply() = 0;
};

struct PropertyPageSite : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Application(IDispatch** application) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Class(long* objectClass) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Session(IDispatch** session) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Parent(IDispatch** parent) = 0;
    // The page changed: the dialog asks it get_Dirty again.
    virtual HRESULT STDMETHODCALLTYPE OnStatusChange() = 0;
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(PropertyPage, 0x0006307e, 0, 0, 0xc0, 0, 0, 0, 0, 0, 0, 0x46)
__CRT_UUID_DECL(PropertyPageSite, 0x0006307f, 0, 0, 0xc0, 0, 0, 0, 0, 0, 0, 0x46)
#endif
