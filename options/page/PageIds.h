// The identities of the options page: its class, its own dual interface
// and its type library. Outlook creates the class by its ProgID
// "QuillOpts.PropPage"; the registry scripts and QuillOptsLib.idl carry the
// same values.
#pragma once

#include <windows.h>
#include <oaidl.h>

// {0FA753DE-CC7A-49BF-AD7D-6555A0DF5202}
inline constexpr CLSID CLSID_PropPage = {
    0x0fa753de, 0xcc7a, 0x49bf, {0xad, 0x7d, 0x65, 0x55, 0xa0, 0xdf, 0x52, 0x02}};
inline constexpr char kPropPageClsidText[] = "{0FA753DE-CC7A-49BF-AD7D-6555A0DF5202}";
// {5EA6F721-2AB1-4DBB-93DE-D1A8F2BAB673}
inline constexpr IID IID_IPropPage = {
    0x5ea6f721, 0x2ab1, 0x4dbb, {0x93, 0xde, 0xd1, 0xa8, 0xf2, 0xba, 0xb6, 0x73}};
// {48586B12-3531-4BAC-8D74-E25E49E6E7D6}
inline constexpr GUID LIBID_QuillOptsLib = {
    0x48586b12, 0x3531, 0x4bac, {0x8d, 0x74, 0xe2, 0x5e, 0x49, 0xe6, 0xe7, 0xd6}};
inline constexpr char kQuillOptsAppId[] = "{E348623A-B186-4EE3-B666-03B17BB6F452}";

// OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
// OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST: the page is
// sited before it loads and is active whenever it shows.
inline constexpr DWORD kPropPageMiscStatus = 131473;

// The page's own interface: automation only, no members of its own.
struct IPropPage : public IDispatch {};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IPropPage, 0x5ea6f721, 0x2ab1, 0x4dbb, 0x93, 0xde, 0xd1, 0xa8, 0xf2, 0xba, 0xb6,
                0x73)
#endif
