// The interface of a gateway plug-in: a COM class outside the system, found
// through its component category, that is told about every interactive
// send that succeeded. It is dual, but its callers go through its virtual
// table: the name getter and the send-documents call. What a gateway does
// with the description it gets, and what its reply holds besides its
// "result" element, is the gateway's own business.
#pragma once

#include <windows.h>
#include <oaidl.h>

// {C2E4B150-4EDB-4503-8B57-C79DB9767103}
inline constexpr IID IID_IQuilletGateway = {
    0xc2e4b150, 0x4edb, 0x4503, {0x8b, 0x57, 0xc7, 0x9d, 0xb9, 0x76, 0x71, 0x03}};
// {556AF6A3-D471-46B5-829F-1410669E304C}: the component category gateways
// are registered in.
inline constexpr GUID CATID_QuilletGateways = {
    0x556af6a3, 0xd471, 0x46b5, {0x82, 0x9f, 0x14, 0x10, 0x66, 0x9e, 0x30, 0x4c}};

struct IQuilletGateway : public IDispatch {
    // The gateway's display name.
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
    // The slot between the two; the system never calls it.
    virtual HRESULT STDMETHODCALLTYPE Reserved() = 0;
    // Told about a send: xml is the "senddocs" description; reply may carry
    // a "result" element whose text goes into the receipt.
    virtual HRESULT STDMETHODCALLTYPE SendDocs(BSTR xml, BSTR* reply) = 0;
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IQuilletGateway, 0xc2e4b150, 0x4edb, 0x4503, 0x8b, 0x57, 0xc7, 0x9d, 0xb9, 0x76,
                0x71, 0x03)
#endif
