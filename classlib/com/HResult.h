// Failures inside a function travel as thrown HRESULTs and are caught once,
// at the edge (classlib/com/Barrier.h), where they become its answer. The
// macros keep the failing expression, and the throw its place, for the log.
#pragma once

#include <source_location>

#include <windows.h>

struct CHResultError {
    HRESULT hr;
    const char* expression;
    const char* file = nullptr; // where it was thrown
    unsigned line = 0;
};

[[noreturn]] inline void ThrowHResult(HRESULT hr, const char* expression = nullptr,
                                      std::source_location at = std::source_location::current())
{
    throw CHResultError{hr, expression, at.file_name(), static_cast<unsigned>(at.line())};
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
