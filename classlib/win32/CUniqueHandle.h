// CUniqueHandle: owns one handle of one kind and gives it back to the system
// when it goes. Handle kinds disagree on what "no handle" is (null, or
// INVALID_HANDLE_VALUE for CreateFile and FindFirstFile) and on the call
// that frees them (CloseHandle, FindClose, GlobalFree, DeleteObject,
// DeleteDC...), so each kind has a traits class that says both, and a
// holder type of its own: no handle is ever freed with another kind's call.
//
// A traits class has: Type (the handle type), None() (the "no handle"
// value) and Close(handle), called only for a handle other than None().
#pragma once

#include <utility>

template <class Traits>
class CUniqueHandle {
public:
    using Type = typename Traits::Type;

    CUniqueHandle() = default;
    explicit CUniqueHandle(Type handle) : m_handle(handle) {}
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_handle(other.Detach()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        Reset(other.Detach());
        return *this;
    }
    ~CUniqueHandle() { Reset(); }

    Type Get() const { return m_handle; }
    bool IsValid() const { return m_handle != Traits::None(); }
    explicit operator bool() const { return IsValid(); }

    // Frees the held handle (if any) and takes the new one.
    void Reset(Type handle = Traits::None())
    {
        if (IsValid())
            Traits::Close(m_handle);
        m_handle = handle;
    }

    // Hands the handle to the caller (or to the system, as SetClipboardData
    // takes a block), who frees it from then on.
    Type Detach() { return std::exchange(m_handle, Traits::None()); }

    // Frees the held handle and gives its place to a call that writes a new
    // one there (FormatMessage's allocated buffer, say).
    Type* Put()
    {
        Reset();
        return &m_handle;
    }

private:
    Type m_handle = Traits::None();
};
