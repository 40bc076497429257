// Calls Outlook turns away while it is busy. Outlook refuses other
// programs' calls while one of its modal dialogs runs, and the editor is
// started from Outlook's Options dialog, which is often still open when the
// user clicks Send. A refused call was not carried out, so it is made again
// for a few seconds, after which the user is asked to close Outlook's
// dialog.
//
// On Windows, COM asks the thread's message filter what to do with a
// refused call and makes it again itself: CBusyRetryFilter answers, for the
// editor's thread while the program runs. Wine's COM never asks it, and the
// call comes back refused at once: CallRetrying makes it again on the same
// terms, timed from the call's first try, so after COM has tried for the
// whole time it gives up at once.
#pragma once

#include <functional>

#include <objbase.h>

#include "classlib/com/CComPtr.h"

namespace busyretry {

// How long a refused call is made again, from its first try, and the pause
// between two tries.
inline constexpr DWORD kRetryForMs = 5000;
inline constexpr DWORD kPauseMs = 250;
// The message filter's answer that ends the tries (COM then returns
// RPC_E_CALL_REJECTED).
inline constexpr DWORD kGiveUp = static_cast<DWORD>(-1);

// Whether the callee's message filter turned the call away (it was not
// carried out): rejected, or "retry later".
bool IsRefused(HRESULT hr);

// What a message filter answers for a call refused elapsedMs after its first
// try: the pause before the next, or kGiveUp.
DWORD PauseBeforeRetry(DWORD elapsedMs);

// Makes the call, and again while it comes back refused and
// PauseBeforeRetry allows, waiting the pause between (the dialog's windows
// are repainted meanwhile, nothing else is handled); the last result.
HRESULT CallRetrying(const std::function<HRESULT()>& call);

} // namespace busyretry

// The editor's message filter, registered for the calling thread's
// apartment (single threaded) while this lives; then the one before it is
// put back.
class CBusyRetryFilter {
public:
    CBusyRetryFilter();
    CBusyRetryFilter(const CBusyRetryFilter&) = delete;
    CBusyRetryFilter& operator=(const CBusyRetryFilter&) = delete;
    ~CBusyRetryFilter();

    // What the registration returned.
    HRESULT Registration() const { return m_registration; }

private:
    CComPtr<IMessageFilter> m_filter;
    CComPtr<IMessageFilter> m_previous;
    HRESULT m_registration = E_FAIL;
};
