#include "classlib/com/CComModule.h"

#include <oleauto.h>
#include <string>

#include "classlib/com/CComPtr.h"
#include "classlib/com/CRegScript.h"

namespace {

// Full path of the module's file in UTF-16, as the type library calls want
// it; empty when it cannot be had.
std::wstring ModulePath(HINSTANCE instance)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(instance, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

// Loads the module's type library without registering it.
HRESULT LoadModuleTypeLib(HINSTANCE instance, std::wstring& path, CComPtr<ITypeLib>& library)
{
    path = ModulePath(instance);
    if (path.empty())
        return E_FAIL;
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put());
}

} // namespace

CComModule::CComModule()
{
    // The lock is not vital to registration; a failure only marks the module.
    if (!InitializeCriticalSectionAndSpinCount(&m_section, 0))
        m_failed = true;
}

CComModule::~CComModule()
{
    if (!m_failed)
        DeleteCriticalSection(&m_section);
}

HRESULT CComModule::Init(HINSTANCE instance)
{
    m_instance = instance;
    return m_failed ? E_FAIL : S_OK;
}

void CComModule::EnterLock()
{
    if (!m_failed)
        EnterCriticalSection(&m_section);
}

void CComModule::LeaveLock()
{
    if (!m_failed)
        LeaveCriticalSection(&m_section);
}

HRESULT CComModule::UpdateRegistryFromResource(UINT id, BOOL registering,
                                               std::initializer_list<CRegReplacement> replacements)
{
    CRegScript script;
    for (const CRegReplacement& replacement : replacements)
        script.AddReplacement(replacement.name, replacement.value);
    return script.RunResource(m_instance, id, registering != FALSE);
}

HRESULT CComModule::RegisterServer()
{
    return RegisterTypeLib();
}

HRESULT CComModule::UnregisterServer()
{
    return UnRegisterTypeLib();
}

HRESULT CComModule::RegisterTypeLib()
{
    std::wstring path;
    CComPtr<ITypeLib> library;
    HRESULT hr = LoadModuleTypeLib(m_instance, path, library);
    if (FAILED(hr))
        return hr;
    return ::RegisterTypeLib(library.Get(), path.data(), nullptr);
}

HRESULT CComModule::UnRegisterTypeLib()
{
    std::wstring path;
    CComPtr<ITypeLib> library;
    HRESULT hr = LoadModuleTypeLib(m_instance, path, library);
    if (FAILED(hr))
        return hr;
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr))
        return hr;
    const TLIBATTR copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    return ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                               copy.syskind);
}
