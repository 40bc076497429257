// CRecipients / CRecipient: the recipients of a stand-in item. Add takes a
// name or address as the user types it; Resolve and ResolveAll look it up
// in the mailbox's address book, and a resolved recipient takes the entry's
// name, address and display type.
#pragma once

#include <string>
#include <vector>

#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CAddressEntry;
class CItem;
class CRecipients;

// Outlook's recipient types for mail.
inline constexpr long kRecipientTo = 1;
inline constexpr long kRecipientCc = 2;
inline constexpr long kRecipientBcc = 3;

class CRecipient final : public CAutoObject {
public:
    CRecipient(CRecipients& owner, std::wstring name, long type);

    const std::wstring& Name() const { return m_name; }
    // The entry's address; empty while unresolved.
    std::wstring Address() const;
    long Type() const { return m_type; }
    void SetType(long type);
    bool Resolved() const { return static_cast<bool>(m_entry); }
    CAddressEntry* Entry() const { return m_entry.Get(); }
    // Binds the recipient to an entry (null: unresolved again).
    void SetEntry(CAddressEntry* entry);
    // Against the owner's mailbox; false when it stays unresolved.
    bool Resolve();
    // Index in the owner (1-based); 0 once removed.
    long Index() const;

    void Detach() { m_owner = nullptr; }

private:
    ~CRecipient() override = default;

    CRecipients* m_owner;
    std::wstring m_name;
    long m_type;
    CComPtr<CAddressEntry> m_entry;
};

class CRecipients final : public CAutoObject {
public:
    explicit CRecipients(CItem& item);

    size_t Count() const { return m_recipients.size(); }
    CRecipient* At(size_t zeroBased) const;
    // Unresolved, of type To.
    CRecipient& Add(const std::wstring& name, long type = kRecipientTo);
    // Resolved to the entry.
    CRecipient& Add(CAddressEntry& entry, long type = kRecipientTo);
    void Remove(size_t zeroBased);
    void Clear();
    // Every recipient resolved (those that were already stay as they are).
    bool ResolveAll();
    long IndexOf(const CRecipient& recipient) const;

    // Null once the item is gone.
    CItem* Item() const { return m_item; }
    void Changed();
    void Detach();

private:
    ~CRecipients() override;

    CItem* m_item;
    std::vector<CComPtr<CRecipient>> m_recipients;
};

} // namespace standin
