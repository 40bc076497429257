#include "classlib/win32/ModulePath.h"

CString ModulePathOf(HMODULE module)
{
    CString path;
    DWORD capacity = MAX_PATH;
    // GetModuleFileName cuts a long path to the buffer and says so only by
    // filling it: grow until the path fits with room to spare.
    for (int tries = 0; tries < 8; ++tries) {
        const DWORD length = GetModuleFileNameA(module, path.GetBuffer(capacity), capacity);
        if (length == 0) {
            path.ReleaseBuffer(0);
            return path;
        }
        if (length < capacity) {
            path.ReleaseBuffer(length);
            return path;
        }
        capacity *= 2;
    }
    path.ReleaseBuffer(0);
    return path;
}

HMODULE ModuleHolding(const void* address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return nullptr;
    return module;
}
