// What the tests' COM add-ins share, so that each holds only what it does
// as an add-in: the add-in object's answers for IUnknown, IDispatch and
// IDTExtensibility2 (and for the further interfaces it lists), the
// application it was connected to, and the module's exports that serve it.
// Its IUnknown and class factory are the class library's, so the module's
// lock count answers DllCanUnloadNow as the product's does.
// Header only: the add-ins are libraries of their own.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "classlib/com/CClassFactory.h"
#include "classlib/com/CComDispatch.h"
#include "classlib/com/CComModule.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/OfficeAddin.h"

namespace testaddin {

// More: further interfaces the add-in serves (a ribbon's).
template <class... More>
class CAddinBase : public CComDispatch<IDTExtensibility2, More...> {
public:
    // No type information; an add-in with callbacks answers the names.
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
    CComPtr<IDispatch> m_application;
};

// DllGetClassObject of a module serving T under served.
template <class T>
HRESULT GetClassObject(REFCLSID served, REFCLSID asked, REFIID iid, void** object)
{
    return ::GetClassObject<T>(served, asked, iid, object);
}

inline HRESULT CanUnloadNow()
{
    return CComModule::CanUnloadNow();
}

} // namespace testaddin
