// How far the benchmark's process grew above where it stood: its working
// set, sampled every few milliseconds while a step runs (the process's own
// peak, which Wine takes from the kernel's high-water mark, cannot be reset
// between steps, so it bounds the whole run instead).
#pragma once

#include <atomic>
#include <thread>

double WorkingSetMb();
double PeakWorkingSetMb();

class CMemoryWatch {
public:
    // Starts sampling; the highest working set seen goes to Peak.
    CMemoryWatch();
    ~CMemoryWatch();
    CMemoryWatch(const CMemoryWatch&) = delete;
    CMemoryWatch& operator=(const CMemoryWatch&) = delete;

    // The highest working set since the start, in MB, sampling stopped.
    double Stop();

private:
    std::atomic<bool> m_running{true};
    std::atomic<double> m_peak{0};
    std::thread m_thread;
};
