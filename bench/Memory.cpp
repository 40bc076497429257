#include "bench/Memory.h"

#include <chrono>

#include <windows.h>
#include <psapi.h>

namespace {

constexpr double kMegabyte = 1024.0 * 1024.0;

PROCESS_MEMORY_COUNTERS Counters()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

} // namespace

double WorkingSetMb()
{
    return Counters().WorkingSetSize / kMegabyte;
}

double PeakWorkingSetMb()
{
    return Counters().PeakWorkingSetSize / kMegabyte;
}

CMemoryWatch::CMemoryWatch() : m_peak(WorkingSetMb())
{
    m_thread = std::thread([this] {
        while (m_running) {
            const double now = WorkingSetMb();
            if (now > m_peak)
                m_peak = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
}

CMemoryWatch::~CMemoryWatch()
{
    Stop();
}

double CMemoryWatch::Stop()
{
    if (m_thread.joinable()) {
        m_running = false;
        m_thread.join();
        const double now = WorkingSetMb();
        if (now > m_peak)
            m_peak = now;
    }
    return m_peak;
}
