#include "standins/outlook/model/AddressBook.h"

#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/model/ContactItem.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/Mailbox.h"
#include "standins/outlook/model/ValueText.h"

namespace standin {

CAddressEntry& CAddressBook::Add(const std::wstring& name, const std::wstring& address,
                                 const std::wstring& type, long displayType)
{
    return AddWithId(name, address, type, displayType, m_mailbox.NewEntryId());
}

CAddressEntry& CAddressBook::AddWithId(const std::wstring& name, const std::wstring& address,
                                       const std::wstring& type, long displayType,
                                       const std::wstring& ownId)
{
    m_entries.push_back(New<CAddressEntry>(name, address, type, displayType, ownId));
    return *m_entries.back();
}

CAddressEntry* CAddressBook::FindById(const std::wstring& id) const
{
    for (const auto& entry : m_entries)
        if (SameName(entry->EntryId(), id) || SameName(entry->OwnId(), id))
            return entry.Get();
    return nullptr;
}

CComPtr<CAddressEntry> CAddressBook::Resolve(const std::wstring& typed) const
{
    const std::wstring text = Trimmed(typed);
    if (text.empty())
        return nullptr;
    std::vector<CComPtr<CAddressEntry>> found;
    for (const auto& entry : m_entries)
        if (SameName(entry->Name(), text) ||
            (!entry->Address().empty() && SameName(entry->Address(), text)))
            found.push_back(entry);

    // The contacts answer with an entry that leads back to them.
    for (const auto& folder : m_mailbox.Folders()) {
        if (folder->DefaultItemType() != kItemTypeContact)
            continue;
        for (size_t i = 0; i < folder->Items().Count(); ++i) {
            auto* contact = dynamic_cast<CContactItem*>(folder->Items().At(i));
            if (!contact || contact->EntryId().size() != 48)
                continue;
            std::wstring address;
            for (int which = 1; which <= 3 && address.empty(); ++which)
                if (SameName(contact->EmailAddress(which), text))
                    address = contact->EmailAddress(which);
            const bool byName = !contact->FullName().empty() && SameName(contact->FullName(), text);
            if (address.empty() && !byName)
                continue;
            for (int which = 1; which <= 3 && address.empty(); ++which)
                if (contact->EmailAddress(which).find(L'@') != std::wstring::npos)
                    address = contact->EmailAddress(which);
            if (address.empty())
                continue; // a contact without an address does not resolve
            const std::wstring name = contact->FullName().empty() ? address : contact->FullName();
            found.push_back(
                New<CAddressEntry>(name, address, L"SMTP", kDisplayUser, contact->EntryId()));
        }
    }
    if (found.size() == 1)
        return found.front();
    if (found.empty() && text.find(L'@') != std::wstring::npos)
        return New<CAddressEntry>(text, text, L"SMTP", kDisplayUser, m_mailbox.NewEntryId());
    return nullptr;
}

} // namespace standin
