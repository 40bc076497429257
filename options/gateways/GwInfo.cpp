#include "options/gateways/GwInfo.h"

#include <atomic>
#include <memory>
#include <string>

#include <objbase.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CComPtr.h"
#include "classlib/win32/CRegKey.h"
#include "classlib/win32/Handles.h"
#include "shared/gateway/QuilletGateway.h"
#include "shared/log/DebugLog.h"

namespace {

constexpr const char* kUnspecifiedName = "Unspecified";
// How long a record waits for its gateway's thread to let the object go.
constexpr DWORD kReleaseWaitMs = 2000;

// Waits for handle at most waitMs while this thread goes on serving its
// apartment: the COM calls that come into it and the messages sent to its
// windows. A gateway on a thread of its own may call into this one while it
// is made or named (Outlook's objects live here), and a wait that served
// nothing would then wait for itself. The user's input waits meanwhile, so
// nothing on the page changes under the wait. True when the handle was set.
bool WaitServingApartment(HANDLE handle, DWORD waitMs)
{
    DWORD index = 0;
    return CoWaitForMultipleHandles(0, waitMs, 1, &handle, &index) == S_OK && index == 0;
}

// Whether clsid is an in-process class that lives in the process's main
// apartment (registered without a ThreadingModel, or as "Single"), and
// this thread is that apartment's. Asked for on a thread of its own, such
// an object is made here all the same and runs its code here, so a thread
// would guard against nothing; it would only have to reach the object
// through a marshaller for the gateway interface, which a gateway need not
// register: the add-in calls it on this thread, unmarshalled.
bool LivesOnThisThread(const CLSID& clsid)
{
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    if (CoGetApartmentType(&type, &qualifier) != S_OK || type != APTTYPE_MAINSTA)
        return false;
    LPOLESTR text = nullptr;
    if (FAILED(StringFromCLSID(clsid, &text)) || !text)
        return false;
    const CString server = "CLSID\\" + CBstr::ToNarrow(text) + "\\InprocServer32";
    CoTaskMemFree(text);
    CRegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, server, KEY_READ) != ERROR_SUCCESS)
        return false;
    CString model;
    const LONG read = key.QueryText("ThreadingModel", model, 64);
    return read == ERROR_FILE_NOT_FOUND ||
           (read == ERROR_SUCCESS && model.CompareNoCase("Single") == 0);
}

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
    // waitMs. created: the creation's result, S_FALSE while it is not over;
    // name: the name, or "Unspecified" when the getter failed or did not
    // answer in time. A failed creation leaves no object (null).
    static std::unique_ptr<CGatewayObject> Start(const CLSID& clsid, DWORD waitMs, HRESULT& created,
                                                 CString& name);
    // Makes the object on this thread and asks its name here: for a class
    // that lives in the process's main apartment, when this thread is that
    // apartment's. created and name as Start.
    static std::unique_ptr<CGatewayObject> MakeHere(const CLSID& clsid, HRESULT& created,
                                                    CString& name);
    ~CGatewayObject();

private:
    static DWORD WINAPI Run(void* parameter);

    // Made on its own thread:
    std::shared_ptr<CGatewayState> m_state;
    CKernelHandle m_thread;
    // or made here:
    CComPtr<IQuilletGateway> m_here;
};

std::unique_ptr<CGatewayObject> CGatewayObject::MakeHere(const CLSID& clsid, HRESULT& created,
                                                         CString& name)
{
    name = kUnspecifiedName;
    CComPtr<IQuilletGateway> gateway;
    created = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IQuilletGateway, gateway.PutVoid());
    if (SUCCEEDED(created) && !gateway)
        created = E_NOINTERFACE;
    if (FAILED(created))
        return nullptr;
    CBstr text;
    if (SUCCEEDED(gateway->get_Name(text.Put())))
        name = CBstr::ToNarrow(text.Get(), static_cast<int>(text.Length()));
    std::unique_ptr<CGatewayObject> object(new CGatewayObject);
    object->m_here = std::move(gateway);
    return object;
}

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

    // One wait for both. A gateway that is slow to be made or to name
    // itself is still installed: it is listed as "Unspecified" and keeps
    // its place in the setting. Only one whose creation failed is not.
    const ULONGLONG started = GetTickCount64();
    if (!WaitServingApartment(state->made, waitMs)) {
        TheLog().Error("CGwInfo::Create: the gateway was not made in time");
        created = S_FALSE;
        return object;
    }
    created = state->created;
    if (FAILED(created))
        return nullptr;
    const ULONGLONG spent = GetTickCount64() - started;
    const DWORD left = spent < waitMs ? static_cast<DWORD>(waitMs - spent) : 0;
    if (!WaitServingApartment(state->ready, left)) {
        TheLog().Error("CGwInfo::Create: the gateway did not give its name in time");
        return object;
    }
    if (SUCCEEDED(state->named))
        name = CBstr::ToNarrow(state->name.c_str(), static_cast<int>(state->name.size()));
    return object;
}

CGatewayObject::~CGatewayObject()
{
    if (!m_state)
        return;
    SetEvent(m_state->stop);
    // A gateway that answered lets its object go at once (and may call
    // into this thread while it does); one still stuck in its own code is
    // not waited for.
    if (WaitForSingleObject(m_state->ready, 0) == WAIT_OBJECT_0)
        WaitServingApartment(m_thread.Get(), kReleaseWaitMs);
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
    m_object = LivesOnThisThread(clsid) ? CGatewayObject::MakeHere(clsid, hr, m_name)
                                        : CGatewayObject::Start(clsid, kNameWaitMs, hr, m_name);
    return hr;
}
