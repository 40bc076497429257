// CComModule: the COM side of an in-process server module: the instance its
// resources come from, the lock count its objects and factories move, its
// registry scripts (resource type "REGISTRY", run by CRegScript) and the
// type library it carries as resource TYPELIB 1.
#pragma once

#include <atomic>
#include <initializer_list>
#include <windows.h>

struct CRegReplacement {
    const char* name;
    const char* value;
};

class CComModule {
public:
    CComModule();
    CComModule(const CComModule&) = delete;
    CComModule& operator=(const CComModule&) = delete;
    virtual ~CComModule();

    // Remembers the module whose resources are used. S_OK, or E_FAIL when the
    // module's lock could not be set up at construction.
    HRESULT Init(HINSTANCE instance);
    HINSTANCE GetModuleInstance() const { return m_instance; }
    // True when the module's lock could not be set up.
    bool HasFailed() const { return m_failed; }

    // The module's lock count: its live COM objects (CComObject, class
    // factories among them) and the locks of LockServer. Every module links
    // the class library on its own, so the count is the module's; it needs
    // no module object. Lock and Unlock return the new count.
    static LONG Lock() noexcept { return ++s_lockCount; }
    static LONG Unlock() noexcept { return --s_lockCount; }
    static LONG GetLockCount() noexcept { return s_lockCount.load(); }
    // What DllCanUnloadNow answers: S_OK when nothing holds the module,
    // S_FALSE while something does.
    static HRESULT CanUnloadNow() noexcept { return GetLockCount() > 0 ? S_FALSE : S_OK; }

    // Guards state the module's objects share.
    void EnterLock();
    void LeaveLock();

    // Runs the module's registry script id in register or unregister mode.
    [[nodiscard]] HRESULT
    UpdateRegistryFromResource(UINT id, BOOL registering,
                               std::initializer_list<CRegReplacement> replacements = {});

    // Registers (or removes) the module's server entries: its type library.
    [[nodiscard]] HRESULT RegisterServer();
    [[nodiscard]] HRESULT UnregisterServer();

    // The type library held as resource TYPELIB 1 of the module. S_OK, or
    // what loading or (un)registering it failed with.
    [[nodiscard]] HRESULT RegisterTypeLib();
    [[nodiscard]] HRESULT UnRegisterTypeLib();

private:
    static inline std::atomic<LONG> s_lockCount{0};

    HINSTANCE m_instance = nullptr;
    bool m_failed = false;
    CRITICAL_SECTION m_section;
};
