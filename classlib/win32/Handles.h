// Owning holders for kernel handles, one type per kind. Kernel objects and
// files are closed with CloseHandle, but their creators disagree on what
// "no handle" is: CreateFile gives INVALID_HANDLE_VALUE, most others null.
// FindFirstFile also gives INVALID_HANDLE_VALUE, yet its search handle is
// no kernel handle at all and is closed only with FindClose.
#pragma once

#include <windows.h>

#include "classlib/win32/CUniqueHandle.h"

namespace handle_kind {

struct Kernel {
    using Type = HANDLE;
    static Type None() { return nullptr; }
    static void Close(Type handle) { CloseHandle(handle); }
};

struct File {
    using Type = HANDLE;
    static Type None() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { CloseHandle(handle); }
};

struct Find {
    using Type = HANDLE;
    static Type None() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { FindClose(handle); }
};

} // namespace handle_kind

// Events, processes, threads, mappings: null means none.
using CKernelHandle = CUniqueHandle<handle_kind::Kernel>;
// CreateFile's files (and other CreateFile-style creators): INVALID_HANDLE_VALUE
// means none.
using CFileHandle = CUniqueHandle<handle_kind::File>;
// A FindFirstFile search: INVALID_HANDLE_VALUE means none; closed with FindClose.
using CFindHandle = CUniqueHandle<handle_kind::Find>;
