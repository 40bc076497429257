// Failures inside a function travel as thrown HRESULTs and are caught once,
// at the function's edge, where they become its return value. The macros
// keep the failing expression for the log.
#pragma once

#include <windows.h>

struct CHResultError {
    HRESULT hr;
    const char* expression;
};

[[noreturn]] inline void ThrowHResult(HRESULT hr, const char* expression = nullptr)
{
    throw CHResultError{hr, expression};
}

#define THROW_IF_FAILED(expr)                                                                      \
    do {                                                                                           \
        HRESULT hr_ = (expr);                                                                      \
        if (FAILED(hr_))                                                                           \
            ThrowHResult(hr_, #expr);                                                              \
    } while (0)

#define RETURN_IF_FAILED(expr)                                                                     \
    do {                                                                                           \
        HRESULT hr_ = (expr);                                                                      \
        if (FAILED(hr_))                                                                           \
            return hr_;                                                                            \
    } while (0)
