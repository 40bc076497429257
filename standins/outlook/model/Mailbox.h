// CMailbox: the stand-in's one message store: the default folders, the
// folders a test adds, the address book, and the mailbox file a host
// program loads a prepared mailbox from and a test reads back what an
// add-in left (the format is described in standins/outlook/README.md).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Item.h"

namespace standin {

class CAddressBook;

// What objects of a mailbox hold to reach it; cleared when it goes.
struct CMailboxLink {
    CMailbox* mailbox = nullptr;
};

class CMailbox {
public:
    CMailbox();
    ~CMailbox();
    CMailbox(const CMailbox&) = delete;
    CMailbox& operator=(const CMailbox&) = delete;

    // Null when the number names no default folder.
    CFolder* DefaultFolder(long id) const;
    // The first folder of that name (case-insensitive); null when none.
    CFolder* FolderByName(const std::wstring& name) const;
    const std::vector<CComPtr<CFolder>>& Folders() const { return m_folders; }
    // A folder of the user's.
    CFolder& AddFolder(const std::wstring& name, long defaultItemType);

    // A saved item of any folder; null when none has that ID
    // (case-insensitive, as entry IDs are hex).
    CItem* FindByEntryId(const std::wstring& entryId) const;
    // A new item of the type (0 mail, 2 contact, 3 task), in no folder
    // until saved; null for another type.
    CComPtr<CItem> CreateItem(long itemType);
    // The default folder new items of the class are saved into.
    CFolder* HomeFolderFor(long itemClass) const;
    // A new, unique entry ID: 48 hex digits.
    std::wstring NewEntryId();

    CAddressBook& AddressBook() { return *m_addressBook; }

    // The host's windows: Display asks for an inspector; Close asks whether
    // one was open and closed it (it then calls the item's CloseWindow).
    using DisplayHandler = std::function<void(CItem&)>;
    using CloseHandler = std::function<bool(CItem&, long mode)>;
    void SetWindowHandlers(DisplayHandler display, CloseHandler close);
    void OnDisplay(CItem& item);
    bool OnClose(CItem& item, long mode);

    // The whole mailbox to one file and back. Load replaces the folders'
    // items and the address book; it fires no events. False, with a reason,
    // when the file cannot be written or read (Load then leaves the mailbox
    // as it was).
    bool Save(const std::wstring& path, std::wstring* error = nullptr) const;
    bool Load(const std::wstring& path, std::wstring* error = nullptr);
    // The same to and from text, for tests.
    std::string SaveToText() const;
    bool LoadFromText(const std::string& text, std::wstring* error = nullptr);

    const std::shared_ptr<CMailboxLink>& Link() const { return m_link; }

private:
    CFolder& MakeFolder(const std::wstring& name, long defaultItemType, long defaultId,
                        const std::wstring& entryId);

    std::shared_ptr<CMailboxLink> m_link;
    std::vector<CComPtr<CFolder>> m_folders;
    std::unique_ptr<CAddressBook> m_addressBook;
    DisplayHandler m_display;
    CloseHandler m_close;
    unsigned long m_nextId = 1;
    std::wstring m_storeKey; // the fixed part of this mailbox's entry IDs
};

} // namespace standin
