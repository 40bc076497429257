// COleWindowPart: the IOleWindow an explorer or inspector hands out for its
// window, as Outlook's do. It is part of its owner: its IUnknown is the
// owner's, so QueryInterface from it reaches every other interface and its
// references keep the owner alive. The owner returns it from QueryOther.
#pragma once

#include <functional>
#include <utility>

#include <windows.h>
#include <oleidl.h>

namespace standin {

class COleWindowPart final : public IOleWindow {
public:
    // window: the owner's window now (null once it is gone).
    COleWindowPart(IUnknown& owner, std::function<HWND()> window)
        : m_owner(owner), m_window(std::move(window))
    {}
    COleWindowPart(const COleWindowPart&) = delete;
    COleWindowPart& operator=(const COleWindowPart&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        return m_owner.QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner.Release(); }

    // A closed window answers E_FAIL with a null handle, as a window object
    // whose window has gone does.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        if (!window)
            return E_POINTER;
        *window = m_window ? m_window() : nullptr;
        return *window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    IUnknown& m_owner;
    std::function<HWND()> m_window;
};

} // namespace standin
