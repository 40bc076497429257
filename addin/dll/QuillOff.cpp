// QuillOff.dll's entry points: the loader's DllMain and the four COM exports
// (undecorated, see QuillOff.def). No exception leaves an export.
#include <new>
#include <objbase.h>
#include <olectl.h>
#include <windows.h>

#include "addin/QuillOffModule.h"
#include "classlib/strings/CString.h"

namespace {

// Turns anything thrown below an export into its result.
template <class Body>
HRESULT Guarded(Body body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        // The library's strings, dialogs and scripts are its own resources,
        // not those of the process that loaded it.
        SetResourceModule(instance);
        // A failed module lock only marks the module; loading goes on.
        (void)TheModule().Init(instance);
    }
    return TRUE;
}

STDAPI DllRegisterServer()
{
    return Guarded([] { return TheModule().SelfRegister(); });
}

STDAPI DllUnregisterServer()
{
    return Guarded([] { return TheModule().SelfUnregister(); });
}

// The library serves no class yet: every request is refused, with the
// out-parameter cleared.
STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

// With no class served, nothing can keep the library loaded.
STDAPI DllCanUnloadNow()
{
    return S_OK;
}
