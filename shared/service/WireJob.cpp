#include "shared/service/WireJob.h"

#include <chrono>
#include <new>

#include "shared/log/DebugLog.h"

namespace {

// Any object of this module: its address names the module to keep loaded.
const char kModuleAnchor = 0;

struct Launch {
    std::shared_ptr<CWireJob> job;
    CWireJob::Work work;
    HMODULE module = nullptr;
};

} // namespace

CWireJob::~CWireJob()
{
    // The last holder goes: the request is closed, and an abandoned job's
    // file (half an answer, or a request nobody sends) goes with it.
    request.reset();
    file.Reset();
    if (m_abandoned.load() && !filePath.IsEmpty())
        DeleteFileA(filePath);
}

void CWireJob::Start(const std::shared_ptr<CWireJob>& job, HWND window, UINT message, int stage,
                     Work work)
{
    {
        std::lock_guard<std::mutex> hold(job->m_lock);
        job->m_window = window;
        job->m_message = message;
        job->m_stage = stage;
        job->m_finished = false;
        job->m_outstanding = false;
        job->m_lastReport = GetTickCount64();
    }
    auto launch = std::unique_ptr<Launch>(new (std::nothrow) Launch{job, std::move(work)});
    // The thread keeps the module loaded: an add-in can be unloaded while a
    // job it gave up still waits on the network.
    if (launch && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, &kModuleAnchor,
                                     &launch->module)) {
        if (HANDLE thread = CreateThread(nullptr, 0, ThreadProc, launch.get(), 0, nullptr)) {
            launch.release();
            CloseHandle(thread);
            return;
        }
        FreeLibrary(launch->module);
    }
    // No thread: the wait happens here, as it would in one call.
    TheLog().Error("CWireJob::Start: no thread, the stage runs on the window's thread");
    if (launch) {
        job->Perform(launch->work);
    } else {
        job->result = 0;
        job->code = E_OUTOFMEMORY;
    }
    job->Finish();
}

void CWireJob::RunHere(const Work& work)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_window = nullptr;
        m_finished = false;
    }
    Perform(work);
    std::lock_guard<std::mutex> hold(m_lock);
    m_finished = true;
}

bool CWireJob::WaitFinished(DWORD ms)
{
    std::unique_lock<std::mutex> hold(m_lock);
    return m_ended.wait_for(hold, std::chrono::milliseconds(ms), [this] { return m_finished; });
}

DWORD WINAPI CWireJob::ThreadProc(void* parameter)
{
    HMODULE module = nullptr;
    {
        std::unique_ptr<Launch> launch(static_cast<Launch*>(parameter));
        module = launch->module;
        CWireJob& job = *launch->job;
        HANDLE heartbeat = nullptr;
        if (!CreateTimerQueueTimer(&heartbeat, nullptr, Heartbeat, &job, kHeartbeatMs, kHeartbeatMs,
                                   WT_EXECUTEDEFAULT))
            heartbeat = nullptr;
        job.Perform(launch->work);
        // Waits for a beat under way, so none comes after the job's end.
        if (heartbeat)
            DeleteTimerQueueTimer(nullptr, heartbeat, INVALID_HANDLE_VALUE);
        job.Finish();
    }
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

void CALLBACK CWireJob::Heartbeat(void* parameter, BOOLEAN)
{
    auto* job = static_cast<CWireJob*>(parameter);
    std::lock_guard<std::mutex> hold(job->m_lock);
    if (!job->m_finished && !job->m_outstanding && !job->m_abandoned.load() &&
        GetTickCount64() - job->m_lastReport >= kHeartbeatMs)
        job->PostLocked();
}

void CWireJob::Perform(const Work& work)
{
    startedAt = GetTickCount64();
    try {
        work(*this);
    } catch (const CInternetException& failure) {
        threw = true;
        internetError = failure.m_dwError;
    } catch (const std::bad_alloc&) {
        result = 0;
        code = E_OUTOFMEMORY;
    } catch (...) {
        result = 0;
        code = E_FAIL;
    }
    endedAt = GetTickCount64();
}

void CWireJob::Finish()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_finished = true;
    m_ended.notify_all();
    // With a report still on its way, the window's answer to it finds the
    // job ended.
    if (!m_outstanding && !m_abandoned.load())
        PostLocked();
}

void CWireJob::PostLocked()
{
    if (!m_window)
        return;
    m_outstanding = true;
    m_lastReport = GetTickCount64();
    PostMessageA(m_window, m_message, static_cast<WPARAM>(m_stage), 0);
}

bool CWireJob::TakeReport()
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_finished)
        return true;
    m_outstanding = false;
    return false;
}

void CWireJob::ReportProgress()
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_outstanding && !m_abandoned.load() && GetTickCount64() - m_lastReport >= kProgressMs)
        PostLocked();
}

void CWireJob::Abandon()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_abandoned.store(true);
}
