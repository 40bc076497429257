// CAddressBook: the entries recipients resolve against, which a test or the
// mailbox file defines, together with the mailbox's contacts: a text
// resolves to the one entry or contact whose name or address it is (without
// regard to case), or, holding an "@", to a one-off SMTP address. A text
// that fits several, or none, stays unresolved, as Outlook leaves it for
// the user to pick.
#pragma once

#include <string>
#include <vector>

#include "standins/outlook/model/AddressEntry.h"

namespace standin {

class CMailbox;

class CAddressBook {
public:
    explicit CAddressBook(CMailbox& mailbox) : m_mailbox(mailbox) {}
    CAddressBook(const CAddressBook&) = delete;
    CAddressBook& operator=(const CAddressBook&) = delete;

    // A new entry; type "SMTP" or "EX"; a list (display type 1 or 5) takes
    // its members through Members().Add.
    CAddressEntry& Add(const std::wstring& name, const std::wstring& address,
                       const std::wstring& type = L"SMTP", long displayType = kDisplayUser);
    // An entry with a given entry ID's own digits (the mailbox file).
    CAddressEntry& AddWithId(const std::wstring& name, const std::wstring& address,
                             const std::wstring& type, long displayType, const std::wstring& ownId);
    // Takes an entry made elsewhere (the mailbox file's reader).
    void Adopt(CAddressEntry* entry) { m_entries.push_back(CComPtr<CAddressEntry>(entry)); }
    const std::vector<CComPtr<CAddressEntry>>& Entries() const { return m_entries; }
    // By entry ID (the full one or its own 48 digits); null when none.
    CAddressEntry* FindById(const std::wstring& id) const;
    void Clear() { m_entries.clear(); }

    // What the text resolves to; null when unresolved.
    CComPtr<CAddressEntry> Resolve(const std::wstring& text) const;

private:
    CMailbox& m_mailbox;
    std::vector<CComPtr<CAddressEntry>> m_entries;
};

} // namespace standin
