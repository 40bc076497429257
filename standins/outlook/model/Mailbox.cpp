#include "standins/outlook/model/Mailbox.h"

#include <algorithm>
#include <cwctype>
#include <map>

#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/model/AddressBook.h"
#include "standins/outlook/model/ItemImage.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/RecordFile.h"

namespace standin {

namespace {

constexpr wchar_t kMagic[] = L"standin-mailbox";
constexpr wchar_t kVersion[] = L"1";

struct CDefaultFolder {
    long id;
    const wchar_t* name;
    long itemType;
};

constexpr CDefaultFolder kDefaultFolders[] = {
    {kFolderInbox, L"Inbox", kItemTypeMail},
    {kFolderOutbox, L"Outbox", kItemTypeMail},
    {kFolderSentMail, L"Sent Items", kItemTypeMail},
    {kFolderDeletedItems, L"Deleted Items", kItemTypeMail},
    {kFolderDrafts, L"Drafts", kItemTypeMail},
    {kFolderTasks, L"Tasks", kItemTypeTask},
    {kFolderContacts, L"Contacts", kItemTypeContact},
};

std::wstring Hex(unsigned long value, int digits)
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text(static_cast<size_t>(digits), L'0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<size_t>(i)] = kDigits[value & 15];
    return text;
}

bool IsHex(const std::wstring& text, size_t length)
{
    return text.size() == length &&
           text.find_first_not_of(L"0123456789ABCDEFabcdef") == std::wstring::npos;
}

std::wstring NewStoreKey()
{
    GUID guid{};
    CoCreateGuid(&guid);
    std::wstring key = Hex(guid.Data1, 8) + Hex(guid.Data2, 4) + Hex(guid.Data3, 4);
    for (unsigned char byte : guid.Data4)
        key += Hex(byte, 2);
    return key;
}

std::wstring Flag(bool value)
{
    return value ? L"true" : L"false";
}

// What a file holds, before it replaces the mailbox's contents.
struct CFolderImage {
    long defaultId = 0;
    std::wstring name;
    long itemType = 0;
    std::wstring entryId;
    bool refusesFolderFields = false;
    std::vector<std::wstring> folderFields;
    std::vector<CComPtr<CItem>> items;
};

} // namespace

CMailbox::CMailbox()
    : m_link(std::make_shared<CMailboxLink>()),
      m_addressBook(std::make_unique<CAddressBook>(*this)), m_storeKey(NewStoreKey())
{
    m_link->mailbox = this;
    for (const CDefaultFolder& folder : kDefaultFolders)
        MakeFolder(folder.name, folder.itemType, folder.id, NewEntryId());
}

CMailbox::~CMailbox()
{
    m_link->mailbox = nullptr;
    for (const auto& folder : m_folders)
        folder->Detach();
}

CFolder& CMailbox::MakeFolder(const std::wstring& name, long defaultItemType, long defaultId,
                              const std::wstring& entryId)
{
    m_folders.push_back(New<CFolder>(*this, name, defaultItemType, defaultId, entryId));
    return *m_folders.back();
}

CFolder* CMailbox::DefaultFolder(long id) const
{
    if (id == 0)
        return nullptr;
    for (const auto& folder : m_folders)
        if (folder->DefaultId() == id)
            return folder.Get();
    return nullptr;
}

CFolder* CMailbox::FolderByName(const std::wstring& name) const
{
    for (const auto& folder : m_folders)
        if (SameName(folder->Name(), name))
            return folder.Get();
    return nullptr;
}

CFolder& CMailbox::AddFolder(const std::wstring& name, long defaultItemType)
{
    return MakeFolder(name, defaultItemType, 0, NewEntryId());
}

CItem* CMailbox::FindByEntryId(const std::wstring& entryId) const
{
    if (entryId.empty())
        return nullptr;
    for (const auto& folder : m_folders)
        for (size_t i = 0; i < folder->Items().Count(); ++i)
            if (CItem* item = folder->Items().At(i); SameName(item->EntryId(), entryId))
                return item;
    return nullptr;
}

CComPtr<CItem> CMailbox::CreateItem(long itemType)
{
    switch (itemType) {
    case kItemTypeMail:
        return NewItemOfClass(kClassMail, m_link);
    case kItemTypeTask:
        return NewItemOfClass(kClassTask, m_link);
    case kItemTypeContact:
        return NewItemOfClass(kClassContact, m_link);
    default:
        return nullptr;
    }
}

CFolder* CMailbox::HomeFolderFor(long itemClass) const
{
    switch (itemClass) {
    case kClassTask:
        return DefaultFolder(kFolderTasks);
    case kClassContact:
        return DefaultFolder(kFolderContacts);
    default:
        return DefaultFolder(kFolderDrafts);
    }
}

std::wstring CMailbox::NewEntryId()
{
    return L"00000000" + m_storeKey + Hex(m_nextId++, 8);
}

void CMailbox::SetWindowHandlers(DisplayHandler display, CloseHandler close)
{
    m_display = std::move(display);
    m_close = std::move(close);
}

void CMailbox::OnDisplay(CItem& item)
{
    if (m_display)
        m_display(item);
}

bool CMailbox::OnClose(CItem& item, long mode)
{
    return m_close ? m_close(item, mode) : false;
}

std::string CMailbox::SaveToText() const
{
    CRecordWriter out;
    out.Write({kMagic, kVersion});
    out.Write({L"store", m_storeKey, std::to_wstring(m_nextId)});
    for (const auto& entry : m_addressBook->Entries()) {
        out.Write({L"entry", entry->OwnId(), entry->Name(), entry->Address(), entry->Type(),
                   std::to_wstring(entry->DisplayType())});
        for (size_t i = 0; i < entry->Members().Count(); ++i)
            out.Write({L"member", entry->Members().At(i)->OwnId()});
    }
    for (const auto& folder : m_folders) {
        out.Write({L"folder", std::to_wstring(folder->DefaultId()), folder->Name(),
                   std::to_wstring(folder->DefaultItemType()), folder->EntryId(),
                   Flag(folder->RefusesFolderFields())});
        for (const std::wstring& field : folder->FolderFields())
            out.Write({L"folderfield", field});
        for (size_t i = 0; i < folder->Items().Count(); ++i)
            WriteItem(*folder->Items().At(i), out);
    }
    return out.Text();
}

bool CMailbox::Save(const std::wstring& path, std::wstring* error) const
{
    return WriteWholeFile(path, SaveToText(), error);
}

bool CMailbox::Load(const std::wstring& path, std::wstring* error)
{
    std::string text;
    if (!ReadWholeFile(path, text, error))
        return false;
    if (!LoadFromText(text, error)) {
        if (error)
            *error = path + L": " + *error;
        return false;
    }
    return true;
}

bool CMailbox::LoadFromText(const std::string& text, std::wstring* error)
{
    std::wstring storeKey;
    unsigned long nextId = 0;
    std::vector<CComPtr<CAddressEntry>> entries;
    std::vector<std::pair<CAddressEntry*, std::wstring>> members; // resolved once all are read
    std::vector<CFolderImage> folders;
    try {
        CRecordReader in(text);
        std::vector<std::wstring> record;
        if (!in.Next(record) || record.size() != 2 || record[0] != kMagic)
            in.Error(L"not a mailbox file");
        if (record[1] != kVersion)
            in.Error(L"mailbox file version " + record[1] + L" is not known");
        auto number = [&in](const std::wstring& field) {
            wchar_t* end = nullptr;
            const long value = wcstol(field.c_str(), &end, 10);
            if (field.empty() || *end)
                in.Error(L"\"" + field + L"\" is not a number");
            return value;
        };
        auto expect = [&in, &record](size_t count) {
            if (record.size() != count)
                in.Error(L"\"" + record[0] + L"\" takes " + std::to_wstring(count - 1) +
                         L" fields");
        };
        auto findEntry = [&entries](const std::wstring& ownId) -> CAddressEntry* {
            for (const auto& entry : entries)
                if (SameName(entry->OwnId(), ownId))
                    return entry.Get();
            return nullptr;
        };
        std::map<std::wstring, bool> ids; // entry IDs seen, upper case
        while (in.Next(record)) {
            const std::wstring& kind = record[0];
            if (kind == L"store") {
                expect(3);
                if (!IsHex(record[1], 32))
                    in.Error(L"the store key must be 32 hex digits");
                storeKey = record[1];
                nextId = static_cast<unsigned long>(number(record[2]));
            } else if (kind == L"entry") {
                expect(6);
                if (!folders.empty())
                    in.Error(L"address entries come before the folders");
                if (!IsHex(record[1], 48))
                    in.Error(L"an address entry's ID must be 48 hex digits");
                if (findEntry(record[1]))
                    in.Error(L"a second address entry " + record[1]);
                entries.push_back(New<CAddressEntry>(record[2], record[3], record[4],
                                                     number(record[5]), record[1]));
            } else if (kind == L"member") {
                expect(2);
                if (entries.empty() || !folders.empty())
                    in.Error(L"a member belongs after its list's entry");
                members.emplace_back(entries.back().Get(), record[1]);
            } else if (kind == L"folder") {
                expect(6);
                for (const auto& [list, id] : members) {
                    CAddressEntry* member = findEntry(id);
                    if (!member)
                        in.Error(L"no address entry " + id + L" for a list's member");
                    list->Members().Add(member);
                }
                members.clear();
                CFolderImage folder;
                folder.defaultId = number(record[1]);
                folder.name = record[2];
                folder.itemType = number(record[3]);
                folder.entryId = record[4];
                folder.refusesFolderFields = record[5] == L"true";
                if (folder.defaultId && !DefaultFolder(folder.defaultId))
                    in.Error(L"no default folder " + record[1]);
                if (folder.name.empty())
                    in.Error(L"a folder needs a name");
                folders.push_back(std::move(folder));
            } else if (kind == L"folderfield") {
                expect(2);
                if (folders.empty())
                    in.Error(L"a folder field belongs after its folder");
                folders.back().folderFields.push_back(record[1]);
            } else if (kind == L"item") {
                if (folders.empty())
                    in.Error(L"an item belongs after its folder");
                CComPtr<CItem> item = ReadItem(record, in, m_link, findEntry);
                std::wstring key = item->EntryId();
                for (wchar_t& c : key)
                    c = static_cast<wchar_t>(towupper(c));
                if (!key.empty() && !ids.emplace(key, true).second)
                    in.Error(L"a second item " + item->EntryId());
                folders.back().items.push_back(item);
            } else {
                in.Error(L"\"" + kind + L"\" has no place in a mailbox file");
            }
        }
        for (const auto& [list, id] : members) {
            CAddressEntry* member = findEntry(id);
            if (!member)
                in.Error(L"no address entry " + id + L" for a list's member");
            list->Members().Add(member);
        }
    } catch (const CFormatError& failure) {
        if (error)
            *error = failure.text;
        return false;
    } catch (const CInvokeError& failure) {
        if (error)
            *error = failure.description;
        return false;
    }

    // The file read: it now replaces what the mailbox held.
    if (!storeKey.empty()) {
        m_storeKey = storeKey;
        m_nextId = std::max(m_nextId, nextId);
    }
    m_addressBook->Clear();
    for (const auto& entry : entries)
        m_addressBook->Adopt(entry.Get());

    std::vector<CComPtr<CFolder>> kept;
    for (const auto& folder : m_folders)
        if (folder->DefaultId())
            kept.push_back(folder);
    std::vector<CComPtr<CFolder>> dropped;
    for (const auto& folder : m_folders)
        if (!folder->DefaultId())
            dropped.push_back(folder);
    for (const auto& folder : kept)
        folder->Items().Replace({});
    m_folders = kept;
    for (CFolderImage& image : folders) {
        CFolder* folder = image.defaultId ? DefaultFolder(image.defaultId) : nullptr;
        if (!folder) {
            for (auto it = dropped.begin(); it != dropped.end() && !folder; ++it)
                if (SameName((*it)->Name(), image.name)) {
                    m_folders.push_back(*it);
                    folder = it->Get();
                    dropped.erase(it);
                    break;
                }
            if (!folder)
                folder = &MakeFolder(image.name, image.itemType, 0,
                                     image.entryId.empty() ? NewEntryId() : image.entryId);
        }
        if (!image.entryId.empty())
            folder->SetEntryId(image.entryId);
        folder->SetRefusesFolderFields(image.refusesFolderFields);
        for (const std::wstring& field : image.folderFields)
            folder->AddFolderField(field);
        for (const auto& item : image.items)
            if (item->EntryId().empty())
                item->SetEntryId(NewEntryId());
        folder->Items().Replace(std::move(image.items));
    }
    for (const auto& folder : dropped) {
        folder->Items().Replace({});
        folder->Detach();
    }
    return true;
}

} // namespace standin
