// CQuillOffModule: the add-in library's COM module, and its self-registration
// as the library's exports DllRegisterServer and DllUnregisterServer run it:
// the registry script, the type library, the class factories and the
// add-in's own entries (CRegMgr).
#pragma once

#include "classlib/com/CComModule.h"

// The AppID the registry script names.
inline constexpr const char* kQuillOffAppId = "{F8369E48-2529-4511-B4AE-A719FB359F1E}";

class CQuillOffModule : public CComModule {
public:
    // Registers the library as COM server and Outlook add-in. S_OK, E_FAIL
    // when the library's file name cannot be had, what registering the type
    // library failed with, SELFREG_E_CLASS when a class factory failed, or
    // the failure of the add-in's own entries (class, Addins, journal).
    [[nodiscard]] HRESULT SelfRegister();
    // Removes the registration and the user's settings. Every step runs even
    // when one before it failed; the first failure is returned.
    [[nodiscard]] HRESULT SelfUnregister();
};

// The library's module object.
CQuillOffModule& TheModule();
