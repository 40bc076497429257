// CItem: what every stand-in Outlook item (mail, task, contact) shares: its
// fields, kept in one table so the mailbox file and the ".msg" file carry
// every one of them, its recipients, attachments and user properties, and
// the item's life in the mailbox (Save into a folder, Close, Delete, Move).
//
// As in Outlook, a new item has no entry ID and belongs to no folder until it
// is first saved; Save then puts it into the default folder of its kind
// (Drafts, Tasks, Contacts) or into the folder whose Items.Add made it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CAttachments;
class CFolder;
class CMailbox;
class CRecipients;
class CUserProperties;
struct CMailboxLink;

// Outlook's item classes (the Class property) and item types (CreateItem).
inline constexpr long kClassMail = 43;
inline constexpr long kClassTask = 48;
inline constexpr long kClassContact = 40;
inline constexpr long kItemTypeMail = 0;
inline constexpr long kItemTypeContact = 2;
inline constexpr long kItemTypeTask = 3;

// Outlook's "no date": 1 January 4501.
extern const double kNoDate;

// One field of an item: a text, a number, a yes/no or a date, by name.
struct CItemField {
    std::wstring name;
    VARTYPE type = VT_BSTR; // VT_BSTR, VT_I4, VT_BOOL or VT_DATE
    CVariant value;         // always of type
    bool readOnly = false;  // read-only through IDispatch; C++ may set it
};

class CItem : public CAutoObject {
public:
    long Class() const { return m_class; }
    // Empty until the item is first saved.
    const std::wstring& EntryId() const { return m_entryId; }
    CFolder* Folder() const { return m_folder; }
    CMailbox* Mailbox() const;
    bool Saved() const { return m_saved; }
    // True once the item was deleted for good (removed from Deleted Items).
    bool Gone() const { return m_gone; }

    std::wstring Subject() const { return Text(L"Subject"); }
    void SetSubject(const std::wstring& text) { SetText(L"Subject", text); }
    std::wstring Body() const { return Text(L"Body"); }
    void SetBody(const std::wstring& text) { SetText(L"Body", text); }
    std::wstring MessageClass() const { return Text(L"MessageClass"); }

    // Fields by name (case-insensitive); an unknown name or a value that does
    // not convert throws std::invalid_argument. Setting one clears Saved.
    const std::vector<CItemField>& Fields() const { return m_fields; }
    const CItemField* FindField(const std::wstring& name) const;
    std::wstring Text(const std::wstring& field) const;
    long Long(const std::wstring& field) const;
    bool Bool(const std::wstring& field) const;
    double Date(const std::wstring& field) const; // an OLE date, local time
    void SetText(const std::wstring& field, const std::wstring& value);
    void SetLong(const std::wstring& field, long value);
    void SetBool(const std::wstring& field, bool value);
    void SetDate(const std::wstring& field, double value);
    // Any value, converted to the field's type.
    void SetValue(const std::wstring& field, const VARIANT& value);

    CRecipients& Recipients() { return *m_recipients; }
    CAttachments& Attachments() { return *m_attachments; }
    CUserProperties& UserProperties() { return *m_userProperties; }

    // What the automation members do, for the host and tests.
    void Save();
    // Item.Close: closes the item's inspector when the mailbox's window
    // handler has one open (which comes back to CloseWindow), else
    // CloseWindow itself.
    void Close(long mode);
    // The item's window closes: the item's Close event first (a sink that
    // sets Cancel keeps it open: false), then mode 0 saves, 1 discards the
    // changes since the last save, 2 (prompt; headless) discards as well.
    bool CloseWindow(long mode);
    // Into Deleted Items; from there, for good.
    void Delete();
    // Into another folder of the same mailbox.
    void Move(CFolder& folder);
    // Opens the item through the mailbox's window handler (the host's
    // inspector); counted either way.
    void Display();
    // How often Display and Close were called.
    int Displays() const { return m_displays; }
    int Closes() const { return m_closes; }
    // Takes over the fields, recipients, attachments and user properties
    // of another item of the same class (what Close with discard goes back to).
    void CopyContentFrom(const CItem& other);

    // The item is ready for the same action again: Saved set, nothing changed.
    void MarkSaved();

    // ---- for the mailbox, folders and the file readers ----
    void SetEntryId(std::wstring id) { m_entryId = std::move(id); }
    void SetFolder(CFolder* folder) { m_folder = folder; }
    // The folder that Save puts a new item into (Items.Add sets it).
    void SetHomeFolder(CFolder* folder) { m_home = folder; }
    void SetMailboxLink(std::shared_ptr<CMailboxLink> link) { m_link = std::move(link); }
    void SetGone() { m_gone = true; }
    // A field's value as a file holds it: no conversion, no knock-on
    // changes, Saved untouched. False for an unknown name or another type.
    bool LoadField(const std::wstring& name, const VARIANT& value);
    // Called when anything of the item changes (fields, recipients,
    // attachments, user properties).
    void Touch() { m_saved = false; }

protected:
    CItem(const wchar_t* kind, long itemClass, const wchar_t* messageClass,
          std::shared_ptr<CMailboxLink> link);
    ~CItem() override;

    // A field served by IDispatch under its name, with Outlook's default.
    void AddField(const wchar_t* name, VARTYPE type, bool readOnly = false);
    // A field whose get or put the item handles itself (To, CC, Complete).
    void AddComputed(const wchar_t* name, Handler get, Handler put);
    // Hook for fields that move others along (Complete and Status).
    virtual void OnFieldSet(const std::wstring& /*name*/) {}

    // The field table entry; throws std::invalid_argument when unknown.
    CItemField& Field(const std::wstring& name);
    const CItemField& Field(const std::wstring& name) const;

private:
    void DefineMembers();
    void Snapshot();
    void Restore();

    long m_class;
    std::wstring m_entryId;
    std::vector<CItemField> m_fields;
    CComPtr<CRecipients> m_recipients;
    CComPtr<CAttachments> m_attachments;
    CComPtr<CUserProperties> m_userProperties;
    std::shared_ptr<CMailboxLink> m_link;
    CFolder* m_folder = nullptr;
    CFolder* m_home = nullptr;
    bool m_saved = false;
    bool m_gone = false;
    int m_displays = 0;
    int m_closes = 0;
    std::string m_savedImage; // what Close(discard) goes back to
};

} // namespace standin
