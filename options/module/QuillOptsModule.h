// CQuillOptsModule: the options library's COM module and its
// self-registration as DllRegisterServer and DllUnregisterServer run it:
// the AppID script, the page's class script, the type library and the
// framework's class factories.
#pragma once

#include "classlib/com/CComModule.h"

class CQuillOptsModule : public CComModule {
public:
    // S_OK; E_FAIL when the library's file name cannot be had; what a
    // script or the type library failed with; SELFREG_E_CLASS when a class
    // factory failed.
    [[nodiscard]] HRESULT SelfRegister();
    // The same in reverse; every step runs, the first failure is returned.
    [[nodiscard]] HRESULT SelfUnregister();

    // The page class's own script (9002), with its module path and
    // OLEMISC value.
    [[nodiscard]] HRESULT UpdatePageRegistry(BOOL registering);
};

// The library's module object.
CQuillOptsModule& TheOptsModule();
