// Failures inside a function travel as thrown HRESULTs and are caught once,
// at the edge (classlib/com/Barrier.h), where they become its answer, or
// are handed up as the function's answer. Both macros keep the failing
// expression and its place for the log: the throw carries them to the
// edge, the return reports them as it goes up.
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

// The user said no: ERROR_CANCELLED as a bare number, as the login and the
// wizard answer it. SUCCEEDED lets it through (it is no failure code), so a
// caller that must stop on it asks IsUserCancel.
inline constexpr HRESULT kUserCancelled = static_cast<HRESULT>(ERROR_CANCELLED);

constexpr bool IsUserCancel(HRESULT hr)
{
    return hr == kUserCancelled;
}

// A failure RETURN_IF_FAILED hands up: the code, the expression and where.
struct CReturnedFailure {
    HRESULT hr;
    const char* expression;
    const char* file; // its name alone
    unsigned line;
};

// Receives every failure handed up; the deliverables' log installs one
// (without one nothing is reported). What it throws is swallowed.
using CReturnReporter = void (*)(const CReturnedFailure& failure);

// Installs reporter (null: none); returns the reporter it replaces.
CReturnReporter SetReturnReporter(CReturnReporter reporter) noexcept;

void ReportReturnedFailure(HRESULT hr, const char* expression,
                           std::source_location at = std::source_location::current()) noexcept;

#define THROW_IF_FAILED(expr)                                                                      \
    do {                                                                                           \
        HRESULT hr_ = (expr);                                                                      \
        if (FAILED(hr_))                                                                           \
            ThrowHResult(hr_, #expr);                                                              \
    } while (0)

#define RETURN_IF_FAILED(expr)                                                                     \
    do {                                                                                           \
        HRESULT hr_ = (expr);                                                                      \
        if (FAILED(hr_)) {                                                                         \
            ReportReturnedFailure(hr_, #expr);                                                     \
            return hr_;                                                                            \
        }                                                                                          \
    } while (0)
