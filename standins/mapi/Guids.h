// The MAPI interface identifiers the stand-in answers to (MinGW declares
// them but no import library defines them) and the Exchange directory's
// provider UID, which the root hierarchy's Exchange rows carry.
#pragma once

#include <string>
#include <windows.h>

inline constexpr IID MapiIid(unsigned long first)
{
    return {first, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
}

inline constexpr IID kIidMapiSession = MapiIid(0x00020300);
inline constexpr IID kIidMapiTable = MapiIid(0x00020301);
inline constexpr IID kIidMapiProp = MapiIid(0x00020303);
inline constexpr IID kIidAddrBook = MapiIid(0x00020309);
inline constexpr IID kIidMailUser = MapiIid(0x0002030A);
inline constexpr IID kIidMapiContainer = MapiIid(0x0002030B);
inline constexpr IID kIidAbContainer = MapiIid(0x0002030D);

// {C840A7DC-42C0-1A10-B4B9-08002B2FE182} as stored, byte by byte.
inline const std::string
    kExchangeDirectoryUid("\xDC\xA7\x40\xC8\xC0\x42\x10\x1A\xB4\xB9\x08\x00\x2B\x2F\xE1\x82", 16);
// Another address-book provider's UID, for rows the restriction must drop.
inline const std::string kOtherProviderUid("QuilletStandInAB", 16);

// Tags MinGW's mapitags.h lacks.
inline constexpr ULONG kTagContainerId = 0xFFFD0003;    // PR_EMS_AB_CONTAINERID
inline constexpr ULONG kTagProxyAddresses = 0x800F101E; // PR_EMS_AB_PROXY_ADDRESSES_A
