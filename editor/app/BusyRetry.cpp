#include "editor/app/BusyRetry.h"

#include <new>

#include "classlib/com/CComObject.h"
#include "shared/log/DebugLog.h"

namespace {

class CRetryFilter final : public CComObject<IMessageFilter> {
public:
    // The editor serves no calls of other programs; COM's own go through.
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return SERVERCALL_ISHANDLED;
    }

    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD) override
    {
        return busyretry::PauseBeforeRetry(elapsedMs);
    }

    // While a call waits, the dialog is repainted but takes no input: a
    // second click on Send, or closing the dialog, inside the call would
    // act on what the call is still using.
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override
    {
        return PENDINGMSG_WAITDEFPROCESS;
    }
};

void PauseRepainting(DWORD ms)
{
    const ULONGLONG until = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < until; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_PAINT);
        MSG message;
        if (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
            DispatchMessageA(&message);
    }
}

} // namespace

namespace busyretry {

bool IsRefused(HRESULT hr)
{
    return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER ||
           hr == RPC_E_SERVERCALL_REJECTED;
}

DWORD PauseBeforeRetry(DWORD elapsedMs)
{
    return elapsedMs < kRetryForMs ? kPauseMs : kGiveUp;
}

HRESULT CallRetrying(const std::function<HRESULT()>& call)
{
    const ULONGLONG first = GetTickCount64();
    for (;;) {
        const HRESULT hr = call();
        if (!IsRefused(hr))
            return hr;
        const DWORD pause = PauseBeforeRetry(static_cast<DWORD>(GetTickCount64() - first));
        if (pause == kGiveUp) {
            TheLog().HResult("Outlook kept refusing the call", hr);
            return hr;
        }
        PauseRepainting(pause);
    }
}

} // namespace busyretry

CBusyRetryFilter::CBusyRetryFilter()
{
    // Objects start with no reference: the holder takes the first.
    m_filter = CComPtr<IMessageFilter>(new (std::nothrow) CRetryFilter);
    if (!m_filter) {
        m_registration = E_OUTOFMEMORY;
        return;
    }
    m_registration = CoRegisterMessageFilter(m_filter.Get(), m_previous.Put());
    if (FAILED(m_registration))
        TheLog().HResult("CoRegisterMessageFilter", m_registration);
}

CBusyRetryFilter::~CBusyRetryFilter()
{
    if (FAILED(m_registration))
        return;
    CComPtr<IMessageFilter> ours;
    CoRegisterMessageFilter(m_previous.Get(), ours.Put());
}
