#include "options/gateways/GwInfo.h"

#include <atomic>
#include <memory>
#include <string>

#include <objbase.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CComPtr.h"
#include "classlib/win32/Handles.h"
#include "shared/gateway/QuilletGateway.h"
#include "shared/log/DebugLog.h"

namespace {

constexpr const char* kUnspecifiedName = "Unspecified";
// How long a record waits for its gateway's thread to let the object go.
constexpr DWORD kReleaseWaitMs = 2000;

} // namespace

// What the gateway's thread and its record share. The thread holds one
// reference, the record the other, so a record that stopped waiting for a
// hung gateway leaves nothing the thread could write into after it.
struct CGatewayState {
    CLSID clsid{};
    HANDLE made = nullptr;  // set by the thread once the creation is over
    HANDLE ready = nullptr; // set by the thread once the name is read too
    HANDLE stop = nullptr;  // set by the record when the object may go
    HRESULT created = E_FAIL;
    HRESULT named = E_FAIL;
    std::wstring name;

    ~CGatewayState()
    {
        if (made)
            CloseHandle(made);
        if (ready)
            CloseHandle(ready);
        if (stop)
            CloseHandle(stop);
    }
};

class CGatewayObject {
public:
    // Starts the thread for clsid and waits for its outcome at most
    // waitMs. created: the creation's result; name: the name, or
    // "Unspecified" when the getter failed or did not answer in time. A
    // failed creation leaves no object (null).
    static std::unique_ptr<CGatewayObject> Start(const CLSID& clsid, DWORD waitMs, HRESULT& created,
                                                 CString& name);
    ~CGatewayObject();

private:
    static DWORD WINAPI Run(void* parameter);

    std::shared_ptr<CGatewayState> m_state;
    CKernelHandle m_thread;
};

std::unique_ptr<CGatewayObject> CGatewayObject::Start(const CLSID& clsid, DWORD waitMs,
                                                      HRESULT& created, CString& name)
{
    created = E_FAIL;
    name = kUnspecifiedName;
    auto state = std::make_shared<CGatewayState>();
    state->clsid = clsid;
    state->made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    state->ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    state->stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!state->made || !state->ready || !state->stop) {
        created = HRESULT_FROM_WIN32(GetLastError());
        return nullptr;
    }
    // The thread keeps this library loaded until its last instruction, so
    // a thread still stuck in a gateway never runs code that has gone.
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<const char*>(&CGatewayObject::Run), &self)) {
        created = HRESULT_FROM_WIN32(GetLastError());
        return nullptr;
    }
    auto* threadShare = new std::shared_ptr<CGatewayState>(state);
    HANDLE thread = CreateThread(nullptr, 0, Run, threadShare, 0, nullptr);
    if (!thread) {
        created = HRESULT_FROM_WIN32(GetLastError());
        delete threadShare;
        FreeLibrary(self);
        return nullptr;
    }
    std::unique_ptr<CGatewayObject> object(new CGatewayObject);
    object->m_state = state;
    object->m_thread = CKernelHandle(thread);

    // One wait for both: a gateway that cannot even be made in that time
    // is not listed, one that is made but does not name itself is.
    const ULONGLONG started = GetTickCount64();
    if (WaitForSingleObject(state->made, waitMs) != WAIT_OBJECT_0) {
        TheLog().Error("CGwInfo::Create: the gateway was not made in time");
        created = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        return nullptr;
    }
    created = state->created;
    if (FAILED(created))
        return nullptr;
    const ULONGLONG spent = GetTickCount64() - started;
    const DWORD left = spent < waitMs ? static_cast<DWORD>(waitMs - spent) : 0;
    if (WaitForSingleObject(state->ready, left) != WAIT_OBJECT_0) {
        TheLog().Error("CGwInfo::Create: the gateway did not give its name in time");
        return object;
    }
    if (SUCCEEDED(state->named))
        name = CBstr::ToNarrow(state->name.c_str(), static_cast<int>(state->name.size()));
    return object;
}

CGatewayObject::~CGatewayObject()
{
    SetEvent(m_state->stop);
    // A gateway that answered lets its object go at once; one still stuck
    // in its own code is not waited for.
    if (WaitForSingleObject(m_state->ready, 0) == WAIT_OBJECT_0)
        WaitForSingleObject(m_thread.Get(), kReleaseWaitMs);
}

DWORD WINAPI CGatewayObject::Run(void* parameter)
{
    std::unique_ptr<std::shared_ptr<CGatewayState>> share(
        static_cast<std::shared_ptr<CGatewayState>*>(parameter));
    CGatewayState& state = **share;
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const char*>(&CGatewayObject::Run), &self);
    const HRESULT initialised = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        CComPtr<IQuilletGateway> gateway;
        state.created = SUCCEEDED(initialised)
                            ? CoCreateInstance(state.clsid, nullptr, CLSCTX_ALL,
                                               IID_IQuilletGateway, gateway.PutVoid())
                            : initialised;
        if (SUCCEEDED(state.created) && !gateway)
            state.created = E_NOINTERFACE;
        SetEvent(state.made);
        if (SUCCEEDED(state.created)) {
            CBstr name;
            state.named = gateway->get_Name(name.Put());
            if (SUCCEEDED(state.named) && name.Get())
                state.name.assign(name.Get(), name.Length());
        }
        SetEvent(state.ready);
        // The object lives in this apartment until its record lets it go;
        // the thread serves the apartment's messages meanwhile.
        if (gateway) {
            HANDLE stop = state.stop;
            while (MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT) ==
                   WAIT_OBJECT_0 + 1) {
                MSG message;
                while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
            }
        }
    }
    if (SUCCEEDED(initialised))
        CoUninitialize();
    share.reset();
    FreeLibraryAndExitThread(self, 0);
}

CGwInfo::CGwInfo() = default;

CGwInfo::CGwInfo(const char* clsid) : m_clsid(clsid) {}

CGwInfo::~CGwInfo() = default;

HRESULT CGwInfo::Create()
{
    if (m_clsid.IsEmpty())
        return E_FAIL;
    CLSID clsid{};
    HRESULT hr = CLSIDFromString(CBstr(m_clsid.GetString()).Get(), &clsid);
    if (FAILED(hr))
        return hr;
    m_object = CGatewayObject::Start(clsid, kNameWaitMs, hr, m_name);
    return hr;
}
