#include "standins/mapi/AbContainer.h"

#include <cstdlib>

#include "standins/mapi/MailUser.h"
#include "standins/mapi/Table.h"

static std::vector<StoredProp> ContainerProps(const char* name, const std::string& entryId)
{
    return {BinaryProp(PR_ENTRYID, entryId), LongProp(PR_OBJECT_TYPE, MAPI_ABCONT),
            TextProp(PR_DISPLAY_NAME_A, name)};
}

static std::vector<StoredProp> HierarchyRow(const std::string& entryId, const char* name,
                                            const std::string& providerUid,
                                            const ULONG* containerId)
{
    std::vector<StoredProp> row = {BinaryProp(PR_ENTRYID, entryId),
                                   TextProp(PR_DISPLAY_NAME_A, name),
                                   BinaryProp(PR_AB_PROVIDER_ID, providerUid),
                                   LongProp(PR_DEPTH, 0), LongProp(PR_OBJECT_TYPE, MAPI_ABCONT)};
    if (containerId)
        row.push_back(LongProp(kTagContainerId, *containerId));
    return row;
}

CAbContainer::CAbContainer(const char* name, const std::string& entryId)
    : CPropObject(name, ContainerProps(name, entryId)), m_isRoot(entryId.empty())
{}

HRESULT CAbContainer::OpenObject(ULONG size, const ENTRYID* id, bool containersToo, ULONG* type,
                                 LPUNKNOWN* object)
{
    if (!type || !object)
        return MAPI_E_INVALID_PARAMETER;
    *object = nullptr;
    const CFixture& fixture = CStandIn::Get().Fixture();
    char kind = 0;
    std::string key;
    if (!ParseEntryId(size, id, kind, key))
        return MAPI_E_UNKNOWN_ENTRYID;
    if (kind == 'U') {
        const FixtureUser* user = fixture.FindUser(key);
        if (!user)
            return MAPI_E_UNKNOWN_ENTRYID;
        *type = user->objectType;
        *object = static_cast<IMailUser*>(new CMailUser(*user));
        return S_OK;
    }
    if (!containersToo)
        return MAPI_E_UNKNOWN_ENTRYID;
    if (kind == 'G' && !key.empty() && std::strtoul(key.c_str(), nullptr, 10) < fixture.galCount) {
        *type = MAPI_ABCONT;
        *object =
            static_cast<IABContainer*>(new CAbContainer("GalContainer", MakeEntryId(kind, key)));
        return S_OK;
    }
    if (kind == 'C') {
        *type = MAPI_ABCONT;
        *object = static_cast<IABContainer*>(new CAbContainer("Container", MakeEntryId(kind, key)));
        return S_OK;
    }
    return MAPI_E_UNKNOWN_ENTRYID;
}

STDMETHODIMP CAbContainer::GetHierarchyTable(ULONG, LPMAPITABLE* table)
{
    RETURN_IF_INJECTED("GetHierarchyTable");
    if (!table)
        return MAPI_E_INVALID_PARAMETER;
    *table = nullptr;
    if (!m_isRoot)
        return MAPI_E_NO_SUPPORT;
    // Around the global lists: another provider's root list, and an Exchange
    // list that is not a root one; only the restriction tells them apart.
    const ULONG root = 0;
    const ULONG nested = 7;
    std::vector<std::vector<StoredProp>> rows;
    rows.push_back(HierarchyRow(MakeEntryId('C', "personal"), "Personal Address Book",
                                kOtherProviderUid, &root));
    for (unsigned i = 0; i < CStandIn::Get().Fixture().galCount; ++i)
        rows.push_back(HierarchyRow(MakeEntryId('G', std::to_string(i)), "Global Address List",
                                    kExchangeDirectoryUid, &root));
    rows.push_back(
        HierarchyRow(MakeEntryId('C', "rooms"), "All Rooms", kExchangeDirectoryUid, &nested));
    rows.push_back(
        HierarchyRow(MakeEntryId('C', "offline"), "Offline List", kExchangeDirectoryUid, nullptr));
    *table = new CTable("HierarchyTable", std::move(rows));
    return S_OK;
}

STDMETHODIMP CAbContainer::OpenEntry(ULONG size, LPENTRYID id, LPCIID, ULONG, ULONG* type,
                                     LPUNKNOWN* object)
{
    RETURN_IF_INJECTED("OpenEntry");
    return OpenObject(size, id, false, type, object);
}

STDMETHODIMP CAbContainer::GetContentsTable(ULONG, LPMAPITABLE*)
{
    return Unsupported("GetContentsTable");
}
STDMETHODIMP CAbContainer::SetSearchCriteria(LPSRestriction, LPENTRYLIST, ULONG)
{
    return Unsupported("SetSearchCriteria");
}
STDMETHODIMP CAbContainer::GetSearchCriteria(ULONG, LPSRestriction*, LPENTRYLIST*, ULONG*)
{
    return Unsupported("GetSearchCriteria");
}
STDMETHODIMP CAbContainer::CreateEntry(ULONG, LPENTRYID, ULONG, LPMAPIPROP*)
{
    return Unsupported("CreateEntry");
}
STDMETHODIMP CAbContainer::CopyEntries(LPENTRYLIST, ULONG, LPMAPIPROGRESS, ULONG)
{
    return Unsupported("CopyEntries");
}
STDMETHODIMP CAbContainer::DeleteEntries(LPENTRYLIST, ULONG)
{
    return Unsupported("DeleteEntries");
}
STDMETHODIMP CAbContainer::ResolveNames(LPSPropTagArray, ULONG, LPADRLIST, LPFlagList)
{
    return Unsupported("ResolveNames");
}
