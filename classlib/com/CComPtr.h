// CComPtr: owns one reference to a COM interface.
#pragma once

#include <utility>
#include <windows.h>
#include <objbase.h>

template <class T>
class CComPtr {
public:
    CComPtr() = default;
    CComPtr(std::nullptr_t) {}
    // Takes a new reference to p.
    explicit CComPtr(T* p) : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    CComPtr(const CComPtr& other) : CComPtr(other.m_p) {}
    CComPtr(CComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    CComPtr& operator=(const CComPtr& other)
    {
        CComPtr(other).Swap(*this);
        return *this;
    }
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        CComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ~CComPtr() { Release(); }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    bool operator==(const T* p) const { return m_p == p; }

    // Releases what is held and gives the address for an out-parameter.
    T** Put()
    {
        Release();
        return &m_p;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    void Release()
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }

    // Takes over a reference the caller already owns.
    void Attach(T* p)
    {
        Release();
        m_p = p;
    }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(m_p, nullptr); }

    void Swap(CComPtr& other) noexcept { std::swap(m_p, other.m_p); }

    template <class Q>
    HRESULT QueryInterface(CComPtr<Q>& out) const
    {
        if (!m_p)
            return E_POINTER;
        return m_p->QueryInterface(__uuidof(Q), out.PutVoid());
    }

private:
    T* m_p = nullptr;
};
