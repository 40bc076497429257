#include "options/module/QuillOptsModule.h"

#include <olectl.h>

#include "classlib/com/COleObjectFactory.h"
#include "options/OptionsResource.h"
#include "options/page/PageIds.h"

namespace {

// The library's file name is kept to this many characters.
constexpr DWORD kModuleNameCapacity = 512;

bool ModuleFileName(HINSTANCE module, char (&name)[kModuleNameCapacity])
{
    const DWORD length = GetModuleFileNameA(module, name, kModuleNameCapacity);
    // A cut name would register a server that is not there.
    return length != 0 && length < kModuleNameCapacity;
}

} // namespace

CQuillOptsModule& TheOptsModule()
{
    static CQuillOptsModule module;
    return module;
}

HRESULT CQuillOptsModule::UpdatePageRegistry(BOOL registering)
{
    char fileName[kModuleNameCapacity];
    if (!ModuleFileName(GetModuleInstance(), fileName))
        return E_FAIL;
    char miscStatus[16];
    wsprintfA(miscStatus, "%lu", static_cast<unsigned long>(kPropPageMiscStatus));
    return UpdateRegistryFromResource(
        IDR_PROPPAGE, registering,
        {{"MODULE", fileName}, {"APPID", kQuillOptsAppId}, {"OLEMISC", miscStatus}});
}

HRESULT CQuillOptsModule::SelfRegister()
{
    char fileName[kModuleNameCapacity];
    if (!ModuleFileName(GetModuleInstance(), fileName))
        return E_FAIL;
    HRESULT hr = UpdateRegistryFromResource(IDR_QUILLOPTS, TRUE, {{"APPID", kQuillOptsAppId}});
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = UpdatePageRegistry(TRUE)))
        return hr;
    if (FAILED(hr = RegisterServer()))
        return hr;
    if (!COleObjectFactory::UpdateRegistryAll(TRUE))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT CQuillOptsModule::SelfUnregister()
{
    HRESULT first = S_OK;
    auto keepFirst = [&first](HRESULT hr) {
        if (FAILED(hr) && first == S_OK)
            first = hr;
    };
    if (!COleObjectFactory::UpdateRegistryAll(FALSE))
        keepFirst(SELFREG_E_CLASS);
    keepFirst(UnregisterServer());
    keepFirst(UpdatePageRegistry(FALSE));
    keepFirst(UpdateRegistryFromResource(IDR_QUILLOPTS, FALSE, {{"APPID", kQuillOptsAppId}}));
    return first;
}
