// CAddressEntry: one entry of the stand-in's address book, as a resolved
// recipient reaches it: a user ("SMTP" address or "EX" distinguished name,
// which the MAPI stand-in turns into SMTP) or a distribution list whose
// Members are entries again. CAddressEntries is such a member list.
//
// Entry IDs are hex texts of 128 digits. An entry made from an Outlook
// contact carries the contact's item ID at digits 72 to 119, where Outlook
// puts it, so the contact can be found again through GetItemFromID.
#pragma once

#include <string>
#include <vector>

#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CAddressEntries;
class CContactItem;

// Outlook's display types.
inline constexpr long kDisplayUser = 0;
inline constexpr long kDisplayDistList = 1;
inline constexpr long kDisplayForum = 2;
inline constexpr long kDisplayAgent = 3;
inline constexpr long kDisplayOrganization = 4;
inline constexpr long kDisplayPrivateDistList = 5;
inline constexpr long kDisplayRemoteUser = 6;

class CAddressEntry final : public CAutoObject {
public:
    // ownId: 48 hex digits (an item entry ID for a contact's entry).
    CAddressEntry(std::wstring name, std::wstring address, std::wstring type, long displayType,
                  const std::wstring& ownId);

    const std::wstring& Name() const { return m_name; }
    const std::wstring& Address() const { return m_address; }
    const std::wstring& Type() const { return m_type; }
    long DisplayType() const { return m_displayType; }
    const std::wstring& EntryId() const { return m_entryId; }
    // The 48 digits the entry was made with.
    std::wstring OwnId() const;
    CAddressEntries& Members() { return *m_members; }
    const CAddressEntries& Members() const { return *m_members; }

    void SetName(std::wstring name) { m_name = std::move(name); }
    void SetAddress(std::wstring address) { m_address = std::move(address); }
    void SetType(std::wstring type) { m_type = std::move(type); }
    void SetDisplayType(long displayType) { m_displayType = displayType; }

    // The 128-digit entry ID around 48 digits of its own.
    static std::wstring EntryIdAround(const std::wstring& ownId);

private:
    ~CAddressEntry() override;

    std::wstring m_name;
    std::wstring m_address;
    std::wstring m_type;
    long m_displayType;
    std::wstring m_entryId;
    CComPtr<CAddressEntries> m_members;
};

class CAddressEntries final : public CAutoObject {
public:
    CAddressEntries();

    size_t Count() const { return m_entries.size(); }
    CAddressEntry* At(size_t zeroBased) const;
    void Add(CAddressEntry* entry);
    void Clear() { m_entries.clear(); }

private:
    ~CAddressEntries() override = default;

    std::vector<CComPtr<CAddressEntry>> m_entries;
};

} // namespace standin
