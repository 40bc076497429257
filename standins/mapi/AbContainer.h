// CAbContainer: an address-book container. The root one offers the
// hierarchy table (the fixture's Exchange global lists among rows a correct
// restriction must drop); every one opens the fixture's users by entry ID.
#pragma once

#include "standins/mapi/PropObject.h"

class CAbContainer : public CPropObject<IABContainer> {
public:
    // name: "RootContainer", "GalContainer" or "Container" (log and failures).
    CAbContainer(const char* name, const std::string& entryId);

    STDMETHODIMP GetContentsTable(ULONG, LPMAPITABLE*) override;
    STDMETHODIMP GetHierarchyTable(ULONG flags, LPMAPITABLE* table) override;
    STDMETHODIMP OpenEntry(ULONG size, LPENTRYID id, LPCIID iid, ULONG flags, ULONG* type,
                           LPUNKNOWN* object) override;
    STDMETHODIMP SetSearchCriteria(LPSRestriction, LPENTRYLIST, ULONG) override;
    STDMETHODIMP GetSearchCriteria(ULONG, LPSRestriction*, LPENTRYLIST*, ULONG*) override;
    STDMETHODIMP CreateEntry(ULONG, LPENTRYID, ULONG, LPMAPIPROP*) override;
    STDMETHODIMP CopyEntries(LPENTRYLIST, ULONG, LPMAPIPROGRESS, ULONG) override;
    STDMETHODIMP DeleteEntries(LPENTRYLIST, ULONG) override;
    STDMETHODIMP ResolveNames(LPSPropTagArray, ULONG, LPADRLIST, LPFlagList) override;

    // A directory object by entry ID (users; from the address book also
    // containers), as OpenEntry hands it out.
    static HRESULT OpenObject(ULONG size, const ENTRYID* id, bool containersToo, ULONG* type,
                              LPUNKNOWN* object);

protected:
    bool Supports(REFIID iid) const override
    {
        return iid == kIidMapiContainer || iid == kIidAbContainer;
    }

private:
    bool m_isRoot;
};
