// The sample add-in's identity, shared by the add-in and the test that
// registers it.
#pragma once

#include <windows.h>

// {6E0F3B52-91C4-4D8A-B1E7-2C5A9D04F3E1}
inline constexpr CLSID kSampleAddinClsid = {
    0x6e0f3b52, 0x91c4, 0x4d8a, {0xb1, 0xe7, 0x2c, 0x5a, 0x9d, 0x04, 0xf3, 0xe1}};
inline constexpr const char* kSampleAddinClsidText = "{6E0F3B52-91C4-4D8A-B1E7-2C5A9D04F3E1}";
inline constexpr const char* kSampleAddinProgId = "QuilletTest.SampleAddin";
