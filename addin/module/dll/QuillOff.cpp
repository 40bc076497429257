// QuillOff.dll's entry points: the loader's DllMain and the four COM exports
// (undecorated, see QuillOff.def). No exception leaves an export: each runs
// behind the catch barrier.
#include <objbase.h>
#include <olectl.h>
#include <windows.h>

#include "addin/host/OutAddIn.h"
#include "addin/module/QuillOffModule.h"
#include "classlib/com/CClassFactory.h"
#include "classlib/com/Barrier.h"
#include "classlib/strings/CString.h"

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
    return CatchAtEdge("DllRegisterServer", [] { return TheModule().SelfRegister(); });
}

STDAPI DllUnregisterServer()
{
    return CatchAtEdge("DllUnregisterServer", [] { return TheModule().SelfUnregister(); });
}

// The add-in object's class factory; any other class is refused, with the
// out-parameter cleared.
STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object)
{
    return CatchAtEdge("DllGetClassObject", [&] {
        return GetClassObject<COutAddIn>(COutAddIn::kClsid, clsid, iid, object);
    });
}

// S_FALSE while any object of the library, a class factory reference or a
// server lock is alive (CComModule's count), else S_OK.
STDAPI DllCanUnloadNow()
{
    return CComModule::CanUnloadNow();
}
