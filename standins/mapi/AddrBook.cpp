#include "standins/mapi/AddrBook.h"

#include "standins/mapi/AbContainer.h"

CAddrBook::CAddrBook() : CPropObject("AddrBook", {}) {}

STDMETHODIMP CAddrBook::OpenEntry(ULONG size, LPENTRYID id, LPCIID, ULONG, ULONG* type,
                                  LPUNKNOWN* object)
{
    RETURN_IF_INJECTED("OpenEntry");
    if (!type || !object)
        return MAPI_E_INVALID_PARAMETER;
    if (size == 0 || !id) {
        *type = MAPI_ABCONT;
        *object = static_cast<IABContainer*>(new CAbContainer("RootContainer", {}));
        return S_OK;
    }
    return CAbContainer::OpenObject(size, id, true, type, object);
}

// What a recipient entry holds, as the stand-in keeps properties.
static std::vector<StoredProp> Stored(const ADRENTRY& entry)
{
    std::vector<StoredProp> props;
    for (ULONG i = 0; i < entry.cValues; ++i) {
        const SPropValue& value = entry.rgPropVals[i];
        switch (PROP_TYPE(value.ulPropTag)) {
        case PT_LONG:
            props.push_back(LongProp(value.ulPropTag, static_cast<ULONG>(value.Value.l)));
            break;
        case PT_STRING8:
            props.push_back(TextProp(value.ulPropTag, value.Value.lpszA ? value.Value.lpszA : ""));
            break;
        case PT_BINARY:
            props.push_back(BinaryProp(
                value.ulPropTag, std::string(reinterpret_cast<const char*>(value.Value.bin.lpb),
                                             value.Value.bin.cb)));
            break;
        default:
            break;
        }
    }
    return props;
}

static void Replace(std::vector<StoredProp>& props, StoredProp prop)
{
    for (StoredProp& old : props)
        if (old.tag == prop.tag) {
            old = std::move(prop);
            return;
        }
    props.push_back(std::move(prop));
}

STDMETHODIMP CAddrBook::ResolveName(ULONG_PTR, ULONG, LPTSTR, LPADRLIST list)
{
    RETURN_IF_INJECTED("ResolveName");
    if (!list)
        return MAPI_E_INVALID_PARAMETER;
    const CFixture& fixture = CStandIn::Get().Fixture();
    HRESULT result = S_OK;
    for (ULONG i = 0; i < list->cEntries; ++i) {
        ADRENTRY& entry = list->aEntries[i];
        std::vector<StoredProp> props = Stored(entry);
        const StoredProp* address = FindProp(props, PR_EMAIL_ADDRESS_A);
        const StoredProp* name = FindProp(props, PR_DISPLAY_NAME_A);
        const FixtureUser* user = fixture.Lookup(address ? address->bytes.c_str() : nullptr,
                                                 name ? name->bytes.c_str() : nullptr);
        if (!user) {
            result = MAPI_E_NOT_FOUND;
            continue;
        }
        if (user->name)
            Replace(props, TextProp(PR_DISPLAY_NAME_A, *user->name));
        if (user->type)
            Replace(props, TextProp(PR_ADDRTYPE_A, *user->type));
        if (user->address)
            Replace(props, TextProp(PR_EMAIL_ADDRESS_A, *user->address));
        Replace(props, BinaryProp(PR_ENTRYID, MakeEntryId('U', user->key)));
        ULONG count = 0;
        SPropValue* values = nullptr;
        HRESULT hr = CopyPropsOut(props, nullptr, &count, &values);
        if (FAILED(hr))
            return hr;
        MAPIFreeBuffer(entry.rgPropVals);
        entry.rgPropVals = values;
        entry.cValues = count;
    }
    return result;
}

STDMETHODIMP CAddrBook::CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*)
{
    return Unsupported("CompareEntryIDs");
}
STDMETHODIMP CAddrBook::Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*)
{
    return Unsupported("Advise");
}
STDMETHODIMP CAddrBook::Unadvise(ULONG)
{
    return Unsupported("Unadvise");
}
STDMETHODIMP CAddrBook::CreateOneOff(LPTSTR, LPTSTR, LPTSTR, ULONG, ULONG*, LPENTRYID*)
{
    return Unsupported("CreateOneOff");
}
STDMETHODIMP CAddrBook::NewEntry(ULONG_PTR, ULONG, ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG*,
                                 LPENTRYID*)
{
    return Unsupported("NewEntry");
}
STDMETHODIMP CAddrBook::Address(ULONG_PTR*, LPADRPARM, LPADRLIST*)
{
    return Unsupported("Address");
}
STDMETHODIMP CAddrBook::Details(ULONG*, LPFNDISMISS, LPVOID, ULONG, LPENTRYID, LPFNBUTTON, LPVOID,
                                LPTSTR, ULONG)
{
    return Unsupported("Details");
}
STDMETHODIMP CAddrBook::RecipOptions(ULONG_PTR, ULONG, LPADRENTRY)
{
    return Unsupported("RecipOptions");
}
STDMETHODIMP CAddrBook::QueryDefaultRecipOpt(LPTSTR, ULONG, ULONG*, LPSPropValue*)
{
    return Unsupported("QueryDefaultRecipOpt");
}
STDMETHODIMP CAddrBook::GetPAB(ULONG*, LPENTRYID*)
{
    return Unsupported("GetPAB");
}
STDMETHODIMP CAddrBook::SetPAB(ULONG, LPENTRYID)
{
    return Unsupported("SetPAB");
}
STDMETHODIMP CAddrBook::GetDefaultDir(ULONG*, LPENTRYID*)
{
    return Unsupported("GetDefaultDir");
}
STDMETHODIMP CAddrBook::SetDefaultDir(ULONG, LPENTRYID)
{
    return Unsupported("SetDefaultDir");
}
STDMETHODIMP CAddrBook::GetSearchPath(ULONG, LPSRowSet*)
{
    return Unsupported("GetSearchPath");
}
STDMETHODIMP CAddrBook::SetSearchPath(ULONG, LPSRowSet)
{
    return Unsupported("SetSearchPath");
}
STDMETHODIMP CAddrBook::PrepareRecips(ULONG, LPSPropTagArray, LPADRLIST)
{
    return Unsupported("PrepareRecips");
}
