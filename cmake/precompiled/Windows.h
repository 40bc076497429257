// The Windows headers nearly every source file of the system parses,
// compiled once per architecture for every target (cmake/CompileTime.cmake).
// Each source still includes what it uses, so it builds the same without
// this file. The standard library's headers (and the test framework's,
// which pull them in) stay out: precompiled, GCC 12 no longer takes their
// inline string copies for system code and warns of them in every file
// that builds a string.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <oaidl.h>
#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>
#include <shlwapi.h>
