// CFolder: a stand-in Outlook folder (kind "MAPIFolder"): its name, the kind
// of item it holds and its items. The mailbox owns its folders; a folder an
// add-in still holds after the mailbox went keeps its items but no longer
// reaches the mailbox.
#pragma once

#include <string>

#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CItems;
class CMailbox;

// Outlook's default folders (GetDefaultFolder).
inline constexpr long kFolderDeletedItems = 3;
inline constexpr long kFolderOutbox = 4;
inline constexpr long kFolderSentMail = 5;
inline constexpr long kFolderInbox = 6;
inline constexpr long kFolderContacts = 10;
inline constexpr long kFolderTasks = 13;
inline constexpr long kFolderDrafts = 16;

class CFolder final : public CAutoObject {
public:
    // defaultId: the default-folder number, 0 for a folder of the user's.
    CFolder(CMailbox& mailbox, std::wstring name, long defaultItemType, long defaultId,
            std::wstring entryId);

    const std::wstring& Name() const { return m_name; }
    long DefaultItemType() const { return m_defaultItemType; }
    long DefaultId() const { return m_defaultId; }
    const std::wstring& EntryId() const { return m_entryId; }
    CItems& Items() { return *m_items; }
    const CItems& Items() const { return *m_items; }
    // Null once the mailbox is gone.
    CMailbox* Mailbox() const { return m_mailbox; }

    // Some folders do not take user properties into their field list;
    // UserProperties.Add with addToFolderFields then fails for their items.
    bool RefusesFolderFields() const { return m_refusesFolderFields; }
    void SetRefusesFolderFields(bool refuses) { m_refusesFolderFields = refuses; }
    // The user properties added to the folder's fields, by name.
    const std::vector<std::wstring>& FolderFields() const { return m_folderFields; }
    void AddFolderField(const std::wstring& name);

    // The mailbox file's reader keeps the IDs the file gives.
    void SetEntryId(std::wstring id) { m_entryId = std::move(id); }
    void Detach() { m_mailbox = nullptr; }

private:
    ~CFolder() override;

    CMailbox* m_mailbox;
    std::wstring m_name;
    long m_defaultItemType;
    long m_defaultId;
    std::wstring m_entryId;
    CComPtr<CItems> m_items;
    bool m_refusesFolderFields = false;
    std::vector<std::wstring> m_folderFields;
};

} // namespace standin
