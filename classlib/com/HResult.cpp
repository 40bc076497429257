#include "classlib/com/HResult.h"

#include <atomic>

namespace {

// Constant-initialised, so a reporter installed by another file's static
// initialiser is never overwritten.
std::atomic<CReturnReporter> g_reporter{nullptr};

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

} // namespace

CReturnReporter SetReturnReporter(CReturnReporter reporter) noexcept
{
    return g_reporter.exchange(reporter);
}

void ReportReturnedFailure(HRESULT hr, const char* expression, std::source_location at) noexcept
{
    const CReturnReporter reporter = g_reporter.load();
    if (!reporter)
        return;
    try {
        reporter({hr, expression, BaseName(at.file_name()), static_cast<unsigned>(at.line())});
    } catch (...) {
        // The report is lost; the failure still goes up.
    }
}
