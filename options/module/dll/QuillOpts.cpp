// QuillOpts.dll's entry points: the loader's DllMain and the four COM
// exports (undecorated, see QuillOpts.def). No exception leaves an export:
// each runs behind the catch barrier.
#include <objbase.h>
#include <olectl.h>
#include <windows.h>

#include "classlib/com/Barrier.h"
#include "classlib/com/CClassFactory.h"
#include "classlib/strings/CString.h"
#include "options/module/QuillOptsApp.h"
#include "options/module/QuillOptsModule.h"
#include "options/page/PropPage.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        // The page's dialog, strings, pictures and scripts are the
        // library's own resources, not those of the process that loaded it.
        SetResourceModule(instance);
        // A failed module lock only marks the module; loading goes on.
        (void)TheOptsModule().Init(instance);
        TheOptsApp().SetInstance(instance);
        TheOptsApp().InitInstance();
    }
    return TRUE;
}

STDAPI DllRegisterServer()
{
    return CatchAtEdge("DllRegisterServer", [] { return TheOptsModule().SelfRegister(); });
}

STDAPI DllUnregisterServer()
{
    return CatchAtEdge("DllUnregisterServer", [] { return TheOptsModule().SelfUnregister(); });
}

// The page's class factory; any other class is refused, with the
// out-parameter cleared.
STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object)
{
    return CatchAtEdge("DllGetClassObject", [&] {
        return GetClassObject<CPropPage>(CLSID_PropPage, clsid, iid, object);
    });
}

// S_FALSE while a page, a class factory reference or a server lock is
// alive (the module's count), else S_OK.
STDAPI DllCanUnloadNow()
{
    return CComModule::CanUnloadNow();
}
