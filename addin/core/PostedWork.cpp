#include "addin/core/PostedWork.h"

#include <new>
#include <utility>

#include "shared/log/DebugLog.h"

namespace {

// Within the add-in's own window: no other window sees it.
constexpr UINT kRunWork = WM_APP + 0x3B0;

} // namespace

CPostedWork& ThePostedWork()
{
    static CPostedWork work;
    return work;
}

CPostedWork::~CPostedWork()
{
    // At unload the log may be gone already: nothing is logged here.
    m_queue.clear();
    m_window.Destroy();
}

HRESULT CPostedWork::EnsureWindow()
{
    if (m_window)
        return S_OK;
    const bool made = m_window.Create([this](UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message != kRunWork)
            return false;
        OnRunWork();
        return true;
    });
    return made ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

HRESULT CPostedWork::Post(Work work)
{
    if (!work)
        return E_INVALIDARG;
    try {
        const HRESULT hr = EnsureWindow();
        if (FAILED(hr))
            return hr;
        m_queue.push_back(std::move(work));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!m_window.Post(kRunWork)) {
        m_queue.pop_back();
        return HRESULT_FROM_WIN32(GetLastError());
    }
    return S_OK;
}

void CPostedWork::Close()
{
    if (!m_queue.empty())
        TheLog().Comment("CPostedWork::Close: work dropped at shutdown");
    m_queue.clear();
    m_window.Destroy();
}

void CPostedWork::RunPending()
{
    for (size_t count = m_queue.size(); count > 0 && !m_running; --count)
        RunNext();
}

void CPostedWork::RunNext()
{
    if (m_running || m_queue.empty())
        return;
    Work work = std::move(m_queue.front());
    m_queue.pop_front();
    m_running = true;
    try {
        work();
    } catch (...) {
        // Work reaches here from the window procedure, where nothing may
        // leave for Outlook's message loop.
        TheLog().Error("CPostedWork: a piece of work failed unexpectedly");
    }
    m_running = false;
}

void CPostedWork::OnRunWork()
{
    if (m_running) {
        // Another piece's dialog is pumping: this one runs after it, so
        // its message is posted again once that piece is done.
        return;
    }
    RunNext();
    // Pieces whose messages came while this one ran.
    if (!m_queue.empty())
        m_window.Post(kRunWork);
}
