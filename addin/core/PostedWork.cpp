#include "addin/core/PostedWork.h"

#include <new>
#include <utility>

#include "classlib/strings/CString.h"
#include "shared/log/DebugLog.h"

namespace {

constexpr const char* kWindowClass = "QuillOffPostedWork";
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
    if (m_window)
        DestroyWindow(m_window);
}

HRESULT CPostedWork::EnsureWindow()
{
    if (m_window)
        return S_OK;
    const HINSTANCE module = GetResourceModule();
    WNDCLASSA windowClass{};
    if (!GetClassInfoA(module, kWindowClass, &windowClass)) {
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = module;
        windowClass.lpszClassName = kWindowClass;
        if (!RegisterClassA(&windowClass))
            return HRESULT_FROM_WIN32(GetLastError());
    }
    m_window =
        CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
    if (!m_window)
        return HRESULT_FROM_WIN32(GetLastError());
    SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return S_OK;
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
    if (!PostMessageA(m_window, kRunWork, 0, 0)) {
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
    if (m_window) {
        DestroyWindow(m_window);
        m_window = nullptr;
    }
    UnregisterClassA(kWindowClass, GetResourceModule());
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

LRESULT CALLBACK CPostedWork::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kRunWork)
        return DefWindowProcA(window, message, wParam, lParam);
    auto* self = reinterpret_cast<CPostedWork*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        return 0;
    if (self->m_running) {
        // Another piece's dialog is pumping: this one runs after it, so
        // its message is posted again once that piece is done.
        return 0;
    }
    self->RunNext();
    // Pieces whose messages came while this one ran.
    if (self->m_window && !self->m_queue.empty())
        PostMessageA(self->m_window, kRunWork, 0, 0);
    return 0;
}
