// COleObjectFactory: a class factory of the module that takes part in the
// module's self-registration. Each factory joins one process-wide list when
// it is built and leaves it when destroyed; UpdateRegistryAll asks every
// factory on the list to write or remove its registration.
#pragma once

#include <windows.h>

class COleObjectFactory {
public:
    explicit COleObjectFactory(REFCLSID clsid);
    COleObjectFactory(const COleObjectFactory&) = delete;
    COleObjectFactory& operator=(const COleObjectFactory&) = delete;
    virtual ~COleObjectFactory();

    const CLSID& GetClassID() const { return m_clsid; }

    // Writes (TRUE) or removes (FALSE) this factory's registry entries.
    // TRUE when that succeeded; a factory with nothing to register has no
    // entries to write.
    virtual BOOL UpdateRegistry(BOOL registering);

    // Every factory of the list, in the order they joined; TRUE when all
    // succeeded (an empty list succeeds). Every factory is asked even when
    // one fails.
    static BOOL UpdateRegistryAll(BOOL registering);

private:
    CLSID m_clsid;
    COleObjectFactory* m_next = nullptr;
};
