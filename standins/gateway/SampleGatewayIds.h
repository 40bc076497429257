// The classes of the sample gateway plug-in and where each one is told
// what to do and records what it was told: values under
// HKEY_CURRENT_USER\Software\Quillet\Sample Gateway\<CLSID text>.
//
//   told by the test                       recorded by the gateway
//   Name       REG_SZ  its display name     Named  REG_DWORD  name reads
//   NameFails  DWORD   the name read fails  Calls  REG_DWORD  SendDocs calls
//   Fail       DWORD   SendDocs returns it  Told   REG_SZ     the last XML
//   Reply      REG_SZ  SendDocs answers it
//   NameHangsMs DWORD  the name read takes that long
//   MakeHangsMs DWORD  making the object takes that long
//
// Without "Fail" and without "Reply", SendDocs succeeds and answers nothing.
#pragma once

#include <windows.h>

// {6F1C3B2A-8E47-4D1B-9C55-2A7D1E0B9A01}
inline constexpr CLSID kSampleGatewayA = {
    0x6f1c3b2a, 0x8e47, 0x4d1b, {0x9c, 0x55, 0x2a, 0x7d, 0x1e, 0x0b, 0x9a, 0x01}};
// {6F1C3B2A-8E47-4D1B-9C55-2A7D1E0B9A02}
inline constexpr CLSID kSampleGatewayB = {
    0x6f1c3b2a, 0x8e47, 0x4d1b, {0x9c, 0x55, 0x2a, 0x7d, 0x1e, 0x0b, 0x9a, 0x02}};

inline constexpr char kSampleGatewayAText[] = "{6F1C3B2A-8E47-4D1B-9C55-2A7D1E0B9A01}";
inline constexpr char kSampleGatewayBText[] = "{6F1C3B2A-8E47-4D1B-9C55-2A7D1E0B9A02}";
inline constexpr char kSampleGatewayKey[] = "Software\\Quillet\\Sample Gateway";
