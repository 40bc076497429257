#include "classlib/com/Barrier.h"

#include <atomic>
#include <cstdio>
#include <new>

namespace {

// Constant-initialised, so a reporter installed by another file's static
// initialiser is never overwritten.
std::atomic<CBarrierReporter> g_reporter{nullptr};

// The file's name without its folders: the build's paths mean nothing to
// whoever reads the log.
const char* BaseName(const char* path)
{
    if (!path)
        return nullptr;
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}

void ToDebugger(const CCaughtFailure& failure)
{
    char text[512];
    std::snprintf(text, sizeof text, "%s (%s:%u) caught 0x%08lX: %s\n",
                  failure.where ? failure.where : "?", failure.file ? failure.file : "?",
                  failure.line, static_cast<unsigned long>(failure.hr),
                  failure.what ? failure.what : "");
    OutputDebugStringA(text);
}

void Report(const CCaughtFailure& failure) noexcept
{
    try {
        if (CBarrierReporter reporter = g_reporter.load())
            reporter(failure);
        else
            ToDebugger(failure);
    } catch (...) {
        // The report is lost; the edge still answers.
    }
}

} // namespace

CBarrierReporter SetBarrierReporter(CBarrierReporter reporter) noexcept
{
    return g_reporter.exchange(reporter);
}

HRESULT barrier_detail::Caught(const char* where, const std::source_location& edge) noexcept
{
    CCaughtFailure failure{where,
                           E_UNEXPECTED,
                           "unknown exception",
                           BaseName(edge.file_name()),
                           static_cast<unsigned>(edge.line()),
                           nullptr,
                           0};
    try {
        throw;
    } catch (const CHResultError& error) {
        // A thrown success would let the edge report a failure as one.
        failure.hr = FAILED(error.hr) ? error.hr : E_UNEXPECTED;
        failure.what = error.expression ? error.expression : "thrown HRESULT";
        failure.thrownFile = BaseName(error.file);
        failure.thrownLine = error.line;
    } catch (const std::bad_alloc&) {
        failure.hr = E_OUTOFMEMORY;
        failure.what = "out of memory";
    } catch (...) {
    }
    Report(failure);
    return failure.hr;
}
