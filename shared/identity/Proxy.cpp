#include "shared/identity/Proxy.h"

#include <cstring>
#include <mapiutil.h>

#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"

namespace {
// A proxy address of type SMTP; the primary one has it in capitals.
constexpr const char kSmtpPrefix[] = "SMTP:";
constexpr size_t kSmtpPrefixLength = sizeof kSmtpPrefix - 1;
} // namespace

HRESULT CProxy::CreateSizedAddressList(ULONG count, LPADRLIST* list)
{
    CLogBlock block("CProxy::CreateSizedAddressList");
    *list = nullptr;
    void* buffer = nullptr;
    const ULONG size = static_cast<ULONG>(CbNewADRLIST(count));
    if (FAILED(mapi::AllocateBuffer(size, &buffer)) || !buffer) {
        TheLog().HResult("CProxy::CreateSizedAddressList", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    std::memset(buffer, 0, size);
    *list = static_cast<LPADRLIST>(buffer);
    (*list)->cEntries = count;
    return S_OK;
}

HRESULT CProxy::SetAddressList(ULONG index, ULONG count, LPSPropValue props, LPADRLIST list)
{
    CLogBlock block("CProxy::SetAddressList");
    if (!list || index >= list->cEntries)
        return E_FAIL;
    ADRENTRY& entry = list->aEntries[index];
    if (entry.rgPropVals) {
        TheLog().Comment("Calling MAPIFreeBuffer");
        mapi::FreeBuffer(entry.rgPropVals);
        entry.rgPropVals = nullptr;
        entry.cValues = 0;
    }
    SPropValue* copy = nullptr;
    if (FAILED(mapi::DupPropset(static_cast<int>(count), props, &copy)) || !copy)
        return E_FAIL;
    entry.rgPropVals = copy;
    entry.cValues = count;
    return S_OK;
}

HRESULT CProxy::Resolve(const char* name, ULONG* size, LPENTRYID* id)
{
    CLogBlock block("CProxy::Resolve");
    *size = 0;
    *id = nullptr;
    if (!m_addressBook || !name)
        return E_UNEXPECTED;

    CString displayName;
    CConfig().GetMailboxName(displayName);
    if (displayName.IsEmpty())
        displayName = name;

    LPADRLIST rawList = nullptr;
    HRESULT hr = CreateSizedAddressList(1, &rawList);
    mapi::AdrList list(rawList);
    if (SUCCEEDED(hr)) {
        // The list gets copies; these only need to live for the call.
        SPropValue props[3] = {};
        props[0].ulPropTag = PR_DISPLAY_NAME_A;
        props[0].Value.lpszA = const_cast<char*>(displayName.GetString());
        props[1].ulPropTag = PR_RECIPIENT_TYPE;
        props[1].Value.l = MAPI_TO;
        props[2].ulPropTag = PR_EMAIL_ADDRESS_A;
        props[2].Value.lpszA = const_cast<char*>(name);
        hr = SetAddressList(0, 3, props, list.get());
    }
    if (SUCCEEDED(hr)) {
        TheLog().Comment("Calling ResolveNames");
        hr = m_addressBook->ResolveName(0, 0, nullptr, list.get());
    }
    if (hr == S_OK && list->cEntries != 1)
        hr = E_INVALIDARG;
    const SPropValue* entryId = nullptr;
    if (hr == S_OK) {
        const ADRENTRY& entry = list->aEntries[0];
        for (ULONG i = 0; i < entry.cValues; ++i)
            if (entry.rgPropVals[i].ulPropTag == PR_ENTRYID)
                entryId = &entry.rgPropVals[i];
        if (!entryId)
            hr = MAPI_E_NOT_FOUND;
    }
    if (hr == S_OK) {
        TheLog().Comment("Allocating memory for EntryID");
        void* buffer = nullptr;
        if (FAILED(mapi::AllocateBuffer(entryId->Value.bin.cb, &buffer)) || !buffer) {
            hr = E_OUTOFMEMORY;
        } else {
            TheLog().Comment("Copying EntryID");
            std::memcpy(buffer, entryId->Value.bin.lpb, entryId->Value.bin.cb);
            *size = entryId->Value.bin.cb;
            *id = static_cast<LPENTRYID>(buffer);
        }
    }
    TheLog().Comment("Releasing memory");
    list.reset();
    TheLog().HResult("CProxy::Resolve", hr);
    return hr;
}

HRESULT CProxy::GetSmtpProxy(const char* exchangeAddress, CString& smtp)
{
    CLogBlock block("CProxy::GetSmtpProxy");
    HRESULT hr = Open();
    if (FAILED(hr))
        return hr;
    // Everything the look-up took from the session is gone when it returns,
    // before Close can end the session.
    hr = LookUpSmtpProxy(exchangeAddress, smtp);
    Close();
    return hr;
}

HRESULT CProxy::LookUpSmtpProxy(const char* exchangeAddress, CString& smtp)
{
    ULONG galSize = 0;
    LPENTRYID rawGal = nullptr;
    HRESULT hr = FindTheGAL(m_addressBook.Get(), &galSize, &rawGal);
    mapi::Buffer<ENTRYID> galId(rawGal);
    if (FAILED(hr))
        return hr;

    ULONG type = 0;
    CComPtr<IMAPIContainer> gal;
    hr = m_addressBook->OpenEntry(galSize, galId.get(), const_cast<IID*>(&kIidMapiContainer),
                                  MAPI_BEST_ACCESS | MAPI_DEFERRED_ERRORS, &type,
                                  reinterpret_cast<LPUNKNOWN*>(gal.Put()));
    if (FAILED(hr))
        return hr;
    if (!gal)
        return E_FAIL;

    ULONG userSize = 0;
    LPENTRYID rawUser = nullptr;
    hr = Resolve(exchangeAddress, &userSize, &rawUser);
    mapi::Buffer<ENTRYID> userId(rawUser);
    if (FAILED(hr))
        return hr;

    CComPtr<IMAPIProp> user;
    hr = gal->OpenEntry(userSize, userId.get(), nullptr, 0, &type,
                        reinterpret_cast<LPUNKNOWN*>(user.Put()));
    if (FAILED(hr))
        return hr;
    if (!user)
        return E_FAIL;
    return FindSmtpProxyAddress(user.Get(), smtp);
}

HRESULT FindTheGAL(IAddrBook* addressBook, ULONG* size, LPENTRYID* id)
{
    CLogBlock block("FindTheGAL");
    *size = 0;
    *id = nullptr;
    if (!addressBook)
        return E_UNEXPECTED;

    ULONG type = 0;
    CComPtr<IMAPIContainer> root;
    HRESULT hr = addressBook->OpenEntry(0, nullptr, nullptr, MAPI_DEFERRED_ERRORS, &type,
                                        reinterpret_cast<LPUNKNOWN*>(root.Put()));
    if (FAILED(hr))
        return hr;
    if (!root || type != MAPI_ABCONT)
        return E_FAIL;

    CComPtr<IMAPITable> table;
    hr = root->GetHierarchyTable(CONVENIENT_DEPTH | MAPI_DEFERRED_ERRORS, table.Put());
    if (FAILED(hr))
        return hr;
    if (!table)
        return E_FAIL;

    SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
    SPropValue provider = {};
    provider.ulPropTag = PR_AB_PROVIDER_ID;
    provider.Value.bin.cb = sizeof kMuidEmsAb;
    provider.Value.bin.lpb = const_cast<BYTE*>(kMuidEmsAb);
    SPropValue containerId = {};
    containerId.ulPropTag = kPrEmsAbContainerId;
    containerId.Value.l = 0;
    SRestriction both[2] = {};
    both[0].rt = RES_PROPERTY;
    both[0].res.resProperty = {RELOP_EQ, PR_AB_PROVIDER_ID, &provider};
    both[1].rt = RES_PROPERTY;
    both[1].res.resProperty = {RELOP_EQ, kPrEmsAbContainerId, &containerId};
    SRestriction restriction = {};
    restriction.rt = RES_AND;
    restriction.res.resAnd = {2, both};

    SRowSet* rawRows = nullptr;
    hr = mapi::QueryAllRows(table.Get(), reinterpret_cast<const SPropTagArray*>(&columns),
                            &restriction, nullptr, 0, &rawRows);
    mapi::Rows rows(rawRows);
    if (FAILED(hr))
        return hr;
    if (!rows || rows->cRows != 1)
        return E_FAIL;
    const SRow& row = rows->aRow[0];
    if (row.cValues < 1 || row.lpProps[0].ulPropTag != PR_ENTRYID)
        return MAPI_E_NOT_FOUND;
    const SBinary& bytes = row.lpProps[0].Value.bin;
    void* buffer = nullptr;
    if (FAILED(mapi::AllocateBuffer(bytes.cb, &buffer)) || !buffer)
        return E_OUTOFMEMORY;
    std::memcpy(buffer, bytes.lpb, bytes.cb);
    *size = bytes.cb;
    *id = static_cast<LPENTRYID>(buffer);
    return S_OK;
}

HRESULT FindSmtpProxyAddress(IMAPIProp* user, CString& address)
{
    CLogBlock block("FindSmtpProxyAddress");
    if (!user)
        return E_POINTER;
    SizedSPropTagArray(1, tags) = {1, {kPrEmsAbProxyAddressesA}};
    ULONG count = 0;
    LPSPropValue rawProps = nullptr;
    HRESULT hr = user->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &rawProps);
    mapi::Buffer<SPropValue> props(rawProps);
    if (FAILED(hr))
        return hr;
    if (!props || count < 1 || props->ulPropTag != kPrEmsAbProxyAddressesA) {
        // A property that came back as an error carries why; a warning code
        // alone would pass for success.
        if (props && count >= 1 && PROP_TYPE(props->ulPropTag) == PT_ERROR &&
            FAILED(props->Value.err))
            return props->Value.err;
        return MAPI_E_NOT_FOUND;
    }
    const ULONG values = props->Value.MVszA.cValues;
    char** texts = props->Value.MVszA.lppszA;
    for (int pass = 0; pass < 2; ++pass) {
        for (ULONG i = 0; i < values; ++i) {
            const char* text = texts[i];
            if (!text || std::strlen(text) < kSmtpPrefixLength)
                continue;
            const bool primary = std::strncmp(text, kSmtpPrefix, kSmtpPrefixLength) == 0;
            const bool secondary =
                CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text,
                               static_cast<int>(kSmtpPrefixLength), kSmtpPrefix,
                               static_cast<int>(kSmtpPrefixLength)) == CSTR_EQUAL;
            if (pass == 0 ? primary : secondary) {
                address = text + kSmtpPrefixLength;
                return S_OK;
            }
        }
    }
    return MAPI_E_NOT_FOUND;
}

bool NormalizeSmtpAddr(CString& address)
{
    if (address.Find('@') < 0)
        return false;
    static const char kPairs[][2] = {{'<', '>'}, {'[', ']'}, {'(', ')'}};
    CString text = address;
    bool taken = false;
    // The bracketed part that holds the address wins, angle brackets first.
    for (const auto& pair : kPairs) {
        int open = text.Find(pair[0]);
        if (open < 0)
            continue;
        CString inside = text.Mid(open + 1);
        int close = inside.Find(pair[1]);
        if (close >= 0)
            inside = inside.Left(close);
        if (inside.Find('@') >= 0) {
            text = inside;
            taken = true;
            break;
        }
    }
    // Else the address stands outside brackets that hold comments, as in
    // "jane@x.com (Jane Doe)".
    if (!taken) {
        for (const auto& pair : kPairs) {
            for (int open = text.Find(pair[0]); open >= 0; open = text.Find(pair[0])) {
                int close = text.Find(pair[1], open + 1);
                text.Delete(open, close < 0 ? text.GetLength() - open : close - open + 1);
            }
        }
    }
    text.Trim();
    text.MakeLower();
    address = text;
    return true;
}
