#include "shared/identity/Identity.h"

#include <cstring>

#include "shared/log/DebugLog.h"

HRESULT CIdentity::IdentifyUser(const char* wantedType, CString& displayName, CString& address)
{
    CLogBlock block("CIdentity::IdentifyUser");
    HRESULT hr = Open();
    if (FAILED(hr))
        return hr;
    // The entry and its buffers live inside the call, so they are gone
    // before Close may end the session.
    hr = IdentifyOpenUser(wantedType, displayName, address);
    Close();
    return hr;
}

HRESULT CIdentity::IdentifyOpenUser(const char* wantedType, CString& displayName, CString& address)
{
    ULONG idSize = 0;
    LPENTRYID rawId = nullptr;
    if (FAILED(m_session->QueryIdentity(&idSize, &rawId)))
        return MAPI_E_NOT_FOUND;
    mapi::Buffer<ENTRYID> id(rawId);

    ULONG type = 0;
    CComPtr<IMAPIProp> entry;
    HRESULT hr = m_session->OpenEntry(idSize, id.get(), nullptr, 0, &type,
                                      reinterpret_cast<LPUNKNOWN*>(entry.Put()));
    if (FAILED(hr))
        return hr;
    if (!entry || type != MAPI_MAILUSER)
        return E_FAIL;

    SizedSPropTagArray(3, tags) = {3, {PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_ADDRTYPE_A}};
    ULONG count = 0;
    LPSPropValue rawProps = nullptr;
    hr = entry->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &rawProps);
    mapi::Buffer<SPropValue> props(rawProps);
    if (FAILED(hr) || !props || count != 3)
        return MAPI_E_NOT_FOUND;
    for (ULONG i = 0; i < 3; ++i)
        if (props.get()[i].ulPropTag != tags.aulPropTag[i] || !props.get()[i].Value.lpszA)
            return MAPI_E_NOT_FOUND;

    displayName = props.get()[0].Value.lpszA;
    address = props.get()[1].Value.lpszA;
    const char* entryType = props.get()[2].Value.lpszA;
    if (wantedType && std::strcmp(wantedType, "SMTP") == 0 &&
        std::strcmp(entryType, wantedType) != 0) {
        // Nested in this session: its Close leaves the session to ours.
        CString smtp;
        hr = GetSmtpProxy(address, smtp);
        if (FAILED(hr))
            return hr;
        address = smtp;
    }
    return S_OK;
}
