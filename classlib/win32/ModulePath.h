// Paths of loaded modules: a program's or DLL's own file, however long.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

// The full path of module's file (nullptr: the process's program); empty
// when it cannot be had.
CString ModulePathOf(HMODULE module);

// The module whose code or data holds address: the DLL a function is
// linked into, wherever the process loaded it from. Null when none does.
HMODULE ModuleHolding(const void* address);
