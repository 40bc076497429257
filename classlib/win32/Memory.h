// Owning holders for the system's memory blocks, and a scoped lock of a
// global block. Global memory (GlobalAlloc) is what the clipboard trades
// in; local memory (LocalAlloc) is what FormatMessage hands out.
#pragma once

#include <windows.h>

#include "classlib/win32/CUniqueHandle.h"

namespace handle_kind {

struct GlobalMem {
    using Type = HGLOBAL;
    static Type None() { return nullptr; }
    static void Close(Type block) { GlobalFree(block); }
};

struct LocalMem {
    using Type = HLOCAL;
    static Type None() { return nullptr; }
    static void Close(Type block) { LocalFree(block); }
};

} // namespace handle_kind

// A GlobalAlloc block; Detach it once the clipboard has taken it.
using CGlobalMem = CUniqueHandle<handle_kind::GlobalMem>;
// A LocalAlloc block.
using CLocalMem = CUniqueHandle<handle_kind::LocalMem>;

// Keeps a global block locked (GlobalLock) for a scope, so its bytes can be
// reached; the block itself is not owned. Data() is null when the lock
// failed (a null or discarded block).
class CGlobalLock {
public:
    explicit CGlobalLock(HGLOBAL block)
        : m_block(block), m_data(block ? GlobalLock(block) : nullptr)
    {}
    CGlobalLock(const CGlobalLock&) = delete;
    CGlobalLock& operator=(const CGlobalLock&) = delete;
    ~CGlobalLock()
    {
        if (m_data)
            GlobalUnlock(m_block);
    }

    void* Data() const { return m_data; }
    explicit operator bool() const { return m_data != nullptr; }

private:
    HGLOBAL m_block;
    void* m_data;
};
