#include "addin/module/QuillOffModule.h"

#include <olectl.h>

#include "addin/AddinResource.h"
#include "addin/module/RegMgr.h"
#include "classlib/com/COleObjectFactory.h"
#include "shared/config/Config.h"

namespace {

// The library's file name is kept to this many characters.
constexpr DWORD kModuleNameCapacity = 512;

} // namespace

CQuillOffModule& TheModule()
{
    static CQuillOffModule module;
    return module;
}

HRESULT CQuillOffModule::SelfRegister()
{
    char fileName[kModuleNameCapacity];
    const DWORD length = GetModuleFileNameA(GetModuleInstance(), fileName, kModuleNameCapacity);
    // A cut name would register a server that is not there.
    if (length == 0 || length >= kModuleNameCapacity)
        return E_FAIL;

    // The AppID entries are not vital to loading the add-in.
    (void)UpdateRegistryFromResource(IDR_QUILLOFF, TRUE, {{"APPID", kQuillOffAppId}});

    const HRESULT hr = RegisterServer();
    if (hr != S_OK)
        return hr;
    if (!COleObjectFactory::UpdateRegistryAll(TRUE))
        return SELFREG_E_CLASS;

    // Without its own entries Outlook never loads the add-in: a failure to
    // write them fails the registration (both are tried all the same).
    CRegMgr registry;
    const HRESULT addin = registry.RegisterAddin(fileName);
    const HRESULT journal = registry.RegisterJournalType();
    return FAILED(addin) ? addin : journal;
}

HRESULT CQuillOffModule::SelfUnregister()
{
    HRESULT first = S_OK;
    auto keepFirst = [&first](HRESULT hr) {
        if (hr != S_OK && first == S_OK)
            first = hr;
    };

    // What the script names, except the NoRemove AppID key.
    (void)UpdateRegistryFromResource(IDR_QUILLOFF, FALSE, {{"APPID", kQuillOffAppId}});
    // A type library that cannot be removed (or found) must not leave the
    // add-in registered: the remaining steps run all the same.
    keepFirst(UnregisterServer());
    if (!COleObjectFactory::UpdateRegistryAll(FALSE))
        keepFirst(SELFREG_E_CLASS);
    CRegMgr().UnregisterAddin();
    CConfig().DeleteKey();
    return first;
}
