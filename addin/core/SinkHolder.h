// CSinkHolder: the one reference its owner holds on an event sink (or a
// command button), which disconnects the sink from its source and lets it
// go when the holder is reset or destroyed, so no source keeps calling a
// sink whose owner is gone.
#pragma once

#include <new>
#include <utility>

#include <windows.h>
#include <oaidl.h>

template <class Sink>
class CSinkHolder {
public:
    CSinkHolder() = default;
    CSinkHolder(const CSinkHolder&) = delete;
    CSinkHolder& operator=(const CSinkHolder&) = delete;
    ~CSinkHolder() { Reset(); }

    // A new sink made of args, told the application and connected to
    // source, in place of the one held. The sink is held even when its
    // connection failed (it is then simply not called); the connection's
    // answer, or E_OUTOFMEMORY and nothing held.
    template <class... Args>
    HRESULT Make(IDispatch* application, IDispatch* source, Args&&... args)
    {
        Reset();
        auto* sink = new (std::nothrow) Sink(std::forward<Args>(args)...);
        if (!sink)
            return E_OUTOFMEMORY;
        sink->AddRef();
        m_sink = sink;
        sink->SetApplication(application);
        return sink->Connect(source);
    }

    // Takes over one reference the caller made on sink (null: none).
    void Attach(Sink* sink)
    {
        Reset();
        m_sink = sink;
    }

    void Reset()
    {
        Sink* sink = std::exchange(m_sink, nullptr);
        if (!sink)
            return;
        sink->Disconnect();
        sink->Release();
    }

    Sink* Get() const { return m_sink; }
    Sink* operator->() const { return m_sink; }
    explicit operator bool() const { return m_sink != nullptr; }

private:
    Sink* m_sink = nullptr;
};
