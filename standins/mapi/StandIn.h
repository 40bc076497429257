// CStandIn: the provider's process-wide state. It keeps the fixture of the
// current logon, counts live objects and MAPI buffers, and appends every
// call to the log file a test names (QUILLET_MAPI_LOG), one line each. A
// call made while MAPI is not initialised (after the last
// MAPIUninitialize, or before the first MAPIInitialize) is logged with the
// prefix "VIOLATION " so a test can tell use-after-uninitialise apart.
#pragma once

#include <string>
#include <windows.h>

#include "standins/mapi/Fixture.h"

class CStandIn {
public:
    static CStandIn& Get();

    // Logs the call; its injected failure (MAPI_E_CALL_FAILED) or S_OK.
    HRESULT Enter(const char* call);
    void Note(const std::string& line);

    void Initialize();
    void Uninitialize();
    bool IsInitialized() const { return m_initCount > 0; }
    // Re-reads the fixture file the test names (QUILLET_MAPI_FIXTURE).
    void LoadFixture();
    const CFixture& Fixture() const { return m_fixture; }

    void ObjectMade() { InterlockedIncrement(&m_objects); }
    void ObjectGone() { InterlockedDecrement(&m_objects); }
    void BufferMade() { InterlockedIncrement(&m_buffers); }
    void BufferGone() { InterlockedDecrement(&m_buffers); }

private:
    CStandIn() = default;
    void Append(const std::string& line);

    CFixture m_fixture;
    LONG m_initCount = 0;
    LONG m_objects = 0;
    LONG m_buffers = 0;
};
