#include "standins/outlook/model/AddressEntry.h"

namespace standin {

namespace {

// Where an entry ID puts the 48 digits of its own: after a provider part of
// 72 digits (Outlook puts the contact's item ID there), before a tail.
constexpr size_t kOwnIdAt = 72;
constexpr size_t kOwnIdLength = 48;
constexpr wchar_t kProviderPart[] =
    L"00000000B3D0C1A55E1F4C779A416F2D3C8E0B1701000000000000000000000000000000";
constexpr wchar_t kTail[] = L"00000000";

} // namespace

std::wstring CAddressEntry::EntryIdAround(const std::wstring& ownId)
{
    std::wstring id(kProviderPart, kOwnIdAt);
    id += ownId;
    id += kTail;
    return id;
}

CAddressEntry::CAddressEntry(std::wstring name, std::wstring address, std::wstring type,
                             long displayType, const std::wstring& ownId)
    : CAutoObject(L"AddressEntry"), m_name(std::move(name)), m_address(std::move(address)),
      m_type(std::move(type)), m_displayType(displayType), m_entryId(EntryIdAround(ownId)),
      m_members(New<CAddressEntries>())
{
    Getter(L"Name", [this](CCall& call) { call.Return(m_name); });
    Getter(L"Address", [this](CCall& call) { call.Return(m_address); });
    Getter(L"Type", [this](CCall& call) { call.Return(m_type); });
    Getter(L"DisplayType", [this](CCall& call) { call.Return(m_displayType); });
    // Outlook names an address entry's identifier ID (a recipient's is EntryID).
    Getter(L"ID", [this](CCall& call) { call.Return(m_entryId); });
    // Only lists have members; Outlook gives Nothing for anyone else.
    Getter(L"Members", [this](CCall& call) {
        if (m_displayType == kDisplayDistList || m_displayType == kDisplayPrivateDistList)
            call.Return(m_members.Get());
        else
            call.ReturnNothing();
    });
}

CAddressEntry::~CAddressEntry() = default;

std::wstring CAddressEntry::OwnId() const
{
    return m_entryId.substr(kOwnIdAt, kOwnIdLength);
}

CAddressEntries::CAddressEntries() : CAutoObject(L"AddressEntries")
{
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(m_entries.size())); });
    Indexed(L"Item", 1, 1, [this](CCall& call) {
        call.Return(m_entries[CollectionIndex(call.Long(0), m_entries.size())].Get());
    });
}

CAddressEntry* CAddressEntries::At(size_t zeroBased) const
{
    return zeroBased < m_entries.size() ? m_entries[zeroBased].Get() : nullptr;
}

void CAddressEntries::Add(CAddressEntry* entry)
{
    if (entry)
        m_entries.push_back(CComPtr<CAddressEntry>(entry));
}

} // namespace standin
