// The start-up benchmark's yardstick: a COM add-in that does nothing. It
// answers every call Outlook makes of an add-in (the ribbon's included,
// with no markup) and keeps only the application it is given, so what the
// host takes to load, connect and let it go is the floor the product's
// add-in is measured against.
#include <windows.h>

#include "bench/nulladdin/NullAddinIds.h"
#include "classlib/com/CClassFactory.h"
#include "classlib/com/CComModule.h"
#include "tests/support/TestAddin.h"

namespace {

class CNullAddin final : public testaddin::CAddinBase<IDTRibbonExtensibility> {
public:
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY**) override { return S_OK; }

    HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR, BSTR* markup) override
    {
        if (!markup)
            return E_POINTER;
        *markup = SysAllocString(L"");
        return *markup ? S_OK : E_OUTOFMEMORY;
    }
};

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return GetClassObject<CNullAddin>(kNullAddinClsid, clsid, iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return CComModule::CanUnloadNow();
}
