// What the tests' COM add-ins share, so that each holds only what it does
// as an add-in: the add-in object's reference count, its answers for
// IUnknown, IDispatch and IDTExtensibility2 (and for more interfaces where
// it says so), the application it was connected to, and the module's
// class factory with its count of live objects for DllCanUnloadNow.
// Header only: the add-ins are libraries of their own.
#pragma once

#include <new>

#include <windows.h>
#include <oaidl.h>

#include "classlib/com/CComPtr.h"
#include "classlib/com/OfficeAddin.h"

namespace testaddin {

// Objects of the module alive now.
inline LONG& LiveObjects()
{
    static LONG count = 0;
    return count;
}

class CAddinBase : public IDTExtensibility2 {
public:
    CAddinBase() { ++LiveObjects(); }
    virtual ~CAddinBase() { --LiveObjects(); }
    CAddinBase(const CAddinBase&) = delete;
    CAddinBase& operator=(const CAddinBase&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IDTExtensibility2)
            *object = static_cast<IDTExtensibility2*>(this);
        else
            *object = OtherInterface(iid);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    // No type information; an add-in with callbacks answers the names.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, ext_ConnectMode, IDispatch*,
                                           SAFEARRAY**) override
    {
        if (!application)
            return E_POINTER;
        m_application = CComPtr<IDispatch>(application);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode, SAFEARRAY**) override
    {
        m_application.Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY**) override { return S_OK; }

protected:
    // A further interface the add-in answers for, or null.
    virtual void* OtherInterface(REFIID) { return nullptr; }

    CComPtr<IDispatch> m_application;

private:
    ULONG m_refs = 1;
};

// The module's one factory, making T.
template <class T>
class CFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory)
            return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // A static object: its count is not kept.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        T* addin = new (std::nothrow) T;
        if (!addin)
            return E_OUTOFMEMORY;
        const HRESULT hr = addin->QueryInterface(iid, object);
        addin->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// DllGetClassObject of a module serving T under clsid.
template <class T>
HRESULT GetClassObject(REFCLSID served, REFCLSID asked, REFIID iid, void** object)
{
    static CFactory<T> factory;
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (asked != served)
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

inline HRESULT CanUnloadNow()
{
    return LiveObjects() == 0 ? S_OK : S_FALSE;
}

} // namespace testaddin
