// The do-nothing add-in's identity, shared by the add-in and the benchmark
// that registers it.
#pragma once

#include <windows.h>

// {5DD1FBE6-3554-4451-B12A-479D4DD6289B}
inline constexpr CLSID kNullAddinClsid = {
    0x5dd1fbe6, 0x3554, 0x4451, {0xb1, 0x2a, 0x47, 0x9d, 0x4d, 0xd6, 0x28, 0x9b}};
inline constexpr const char* kNullAddinClsidText = "{5DD1FBE6-3554-4451-B12A-479D4DD6289B}";
inline constexpr const char* kNullAddinProgId = "QuilletBench.NullAddin";
