#include "standins/outlook/model/Recipients.h"

#include <algorithm>

#include "standins/outlook/model/AddressBook.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/Mailbox.h"

namespace standin {

CRecipient::CRecipient(CRecipients& owner, std::wstring name, long type)
    : CAutoObject(L"Recipient"), m_owner(&owner), m_name(std::move(name)), m_type(type)
{
    Getter(L"Name", [this](CCall& call) { call.Return(m_name); });
    Getter(L"Address", [this](CCall& call) { call.Return(Address()); });
    Property(
        L"Type", [this](CCall& call) { call.Return(m_type); },
        [this](CCall& call) { SetType(call.ValueLong()); });
    Getter(L"Resolved", [this](CCall& call) { call.ReturnBool(Resolved()); });
    Getter(L"Index", [this](CCall& call) { call.Return(Index()); });
    Getter(L"DisplayType",
           [this](CCall& call) { call.Return(m_entry ? m_entry->DisplayType() : kDisplayUser); });
    // Outlook has no entry for a name it could not resolve.
    Getter(L"EntryID", [this](CCall& call) {
        if (!m_entry)
            Fail(kObjectNotFound, L"The recipient is not resolved.");
        call.Return(m_entry->EntryId());
    });
    Getter(L"AddressEntry", [this](CCall& call) {
        if (!m_entry)
            call.ReturnNothing();
        else
            call.Return(m_entry.Get());
    });
    Method(L"Resolve", 0, 0, [this](CCall& call) { call.ReturnBool(Resolve()); });
    Method(L"Delete", 0, 0, [this](CCall&) {
        if (m_owner && Index() > 0)
            m_owner->Remove(static_cast<size_t>(Index() - 1));
    });
}

std::wstring CRecipient::Address() const
{
    return m_entry ? m_entry->Address() : std::wstring();
}

void CRecipient::SetType(long type)
{
    m_type = type;
    if (m_owner)
        m_owner->Changed();
}

void CRecipient::SetEntry(CAddressEntry* entry)
{
    m_entry = CComPtr<CAddressEntry>(entry);
    if (m_owner)
        m_owner->Changed();
}

bool CRecipient::Resolve()
{
    if (m_entry)
        return true;
    CItem* item = m_owner ? m_owner->Item() : nullptr;
    CMailbox* mailbox = item ? item->Mailbox() : nullptr;
    if (!mailbox)
        return false;
    CComPtr<CAddressEntry> entry = mailbox->AddressBook().Resolve(m_name);
    if (!entry)
        return false;
    // A resolved recipient shows the entry's name, as Outlook underlines it.
    m_name = entry->Name();
    SetEntry(entry.Get());
    return true;
}

long CRecipient::Index() const
{
    return m_owner ? m_owner->IndexOf(*this) : 0;
}

CRecipients::CRecipients(CItem& item) : CAutoObject(L"Recipients"), m_item(&item)
{
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(m_recipients.size())); });
    Indexed(L"Item", 1, 1, [this](CCall& call) {
        call.Return(m_recipients[CollectionIndex(call.Long(0), m_recipients.size())].Get());
    });
    Method(L"Add", 1, 1, [this](CCall& call) {
        const std::wstring name = call.Text(0);
        if (name.empty())
            Fail(E_INVALIDARG, L"The parameter is incorrect.");
        call.Return(&Add(name));
    });
    Method(L"Remove", 1, 1,
           [this](CCall& call) { Remove(CollectionIndex(call.Long(0), m_recipients.size())); });
    Method(L"ResolveAll", 0, 0, [this](CCall& call) { call.ReturnBool(ResolveAll()); });
}

CRecipients::~CRecipients()
{
    for (const auto& recipient : m_recipients)
        recipient->Detach();
}

CRecipient* CRecipients::At(size_t zeroBased) const
{
    return zeroBased < m_recipients.size() ? m_recipients[zeroBased].Get() : nullptr;
}

CRecipient& CRecipients::Add(const std::wstring& name, long type)
{
    m_recipients.push_back(New<CRecipient>(*this, name, type));
    Changed();
    return *m_recipients.back();
}

CRecipient& CRecipients::Add(CAddressEntry& entry, long type)
{
    CRecipient& recipient = Add(entry.Name(), type);
    recipient.SetEntry(&entry);
    return recipient;
}

void CRecipients::Remove(size_t zeroBased)
{
    if (zeroBased >= m_recipients.size())
        return;
    m_recipients[zeroBased]->Detach();
    m_recipients.erase(m_recipients.begin() + static_cast<std::ptrdiff_t>(zeroBased));
    Changed();
}

void CRecipients::Clear()
{
    for (const auto& recipient : m_recipients)
        recipient->Detach();
    m_recipients.clear();
    Changed();
}

bool CRecipients::ResolveAll()
{
    bool all = true;
    for (const auto& recipient : m_recipients)
        all = recipient->Resolve() && all;
    return all;
}

long CRecipients::IndexOf(const CRecipient& recipient) const
{
    for (size_t i = 0; i < m_recipients.size(); ++i)
        if (m_recipients[i].Get() == &recipient)
            return static_cast<long>(i + 1);
    return 0;
}

void CRecipients::Changed()
{
    if (m_item)
        m_item->Touch();
}

void CRecipients::Detach()
{
    m_item = nullptr;
}

} // namespace standin
