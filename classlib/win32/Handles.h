// Owning holders for kernel handles. Two kinds, kept apart because the
// APIs disagree on what "no handle" is: CreateFile gives INVALID_HANDLE_VALUE,
// most other creators give null.
#pragma once

#include <utility>
#include <windows.h>

template <HANDLE (*Invalid)()>
class CUniqueHandle {
public:
    CUniqueHandle() = default;
    explicit CUniqueHandle(HANDLE handle) : m_handle(handle) {}
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_handle(other.Detach()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        Reset(other.Detach());
        return *this;
    }
    ~CUniqueHandle() { Reset(); }

    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle != Invalid(); }
    explicit operator bool() const { return IsValid(); }

    // Closes the held handle (if any) and takes the new one.
    void Reset(HANDLE handle = Invalid())
    {
        if (IsValid())
            CloseHandle(m_handle);
        m_handle = handle;
    }

    // Hands the handle to the caller, who must close it.
    HANDLE Detach() { return std::exchange(m_handle, Invalid()); }

private:
    HANDLE m_handle = Invalid();
};

namespace handle_detail {
inline HANDLE Null()
{
    return nullptr;
}
inline HANDLE InvalidValue()
{
    return INVALID_HANDLE_VALUE;
}
} // namespace handle_detail

// Events, processes, threads, mappings: null means none.
using CKernelHandle = CUniqueHandle<handle_detail::Null>;
// CreateFile and FindFirstFile style: INVALID_HANDLE_VALUE means none.
using CFileHandle = CUniqueHandle<handle_detail::InvalidValue>;

// Owns a FindFirstFile search handle.
class CFindHandle {
public:
    CFindHandle() = default;
    explicit CFindHandle(HANDLE handle) : m_handle(handle) {}
    CFindHandle(const CFindHandle&) = delete;
    CFindHandle& operator=(const CFindHandle&) = delete;
    ~CFindHandle()
    {
        if (IsValid())
            FindClose(m_handle);
    }
    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// Owns a block from HeapAlloc/GlobalAlloc/LocalAlloc's LocalAlloc family,
// as FormatMessage hands out.
class CLocalMem {
public:
    CLocalMem() = default;
    CLocalMem(const CLocalMem&) = delete;
    CLocalMem& operator=(const CLocalMem&) = delete;
    ~CLocalMem()
    {
        if (m_mem)
            LocalFree(m_mem);
    }
    HLOCAL* Put() { return &m_mem; }
    HLOCAL Get() const { return m_mem; }

private:
    HLOCAL m_mem = nullptr;
};

// Owns a critical section for its lifetime; CLock holds it for a scope.
class CCriticalSection {
public:
    CCriticalSection() { InitializeCriticalSection(&m_section); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    ~CCriticalSection() { DeleteCriticalSection(&m_section); }
    void Lock() { EnterCriticalSection(&m_section); }
    void Unlock() { LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

class CLock {
public:
    explicit CLock(CCriticalSection& section) : m_section(section) { m_section.Lock(); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;
    ~CLock() { m_section.Unlock(); }

private:
    CCriticalSection& m_section;
};
