// What the tests' COM add-ins share, so that each holds only what it does
// as an add-in: the add-in object's answers for IUnknown, IDispatch and
// IDTExtensibility2 (and for the further interfaces it lists), the
// application it was connected to. Its IUnknown is the class library's, so
// an add-in module serves it with GetClassObject (CClassFactory.h) and
// answers DllCanUnloadNow from the module's lock count as the product does.
// Header only: the add-ins are libraries of their own.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "classlib/com/CComDispatch.h"
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

} // namespace testaddin
