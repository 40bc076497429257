// The thread's last Win32 error as an HRESULT, for the functions that
// report a failed Win32 call by HRESULT. A call that failed without setting
// an error (some do) still gives a failure: E_FAIL, never S_OK, which
// HRESULT_FROM_WIN32(0) would be.
#pragma once

#include <windows.h>

[[nodiscard]] inline HRESULT HResultFromLastError()
{
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}
