#include "standins/outlook/model/ItemImage.h"

#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/model/AddressBook.h"
#include "standins/outlook/model/Attachments.h"
#include "standins/outlook/model/ContactItem.h"
#include "standins/outlook/model/MailItem.h"
#include "standins/outlook/model/Mailbox.h"
#include "standins/outlook/model/Recipients.h"
#include "standins/outlook/model/TaskItem.h"
#include "standins/outlook/model/UserProperties.h"
#include "standins/outlook/model/ValueText.h"

namespace standin {

namespace {

constexpr wchar_t kMsgMagic[] = L"standin-msg";
constexpr wchar_t kMsgVersion[] = L"1";

std::wstring Number(long value)
{
    return std::to_wstring(value);
}

long ReadNumber(const CRecordReader& in, const std::wstring& text)
{
    CVariant value;
    if (!TextToValue(text, VT_I4, value))
        in.Error(L"\"" + text + L"\" is not a number");
    return value.lVal;
}

void Expect(const CRecordReader& in, const std::vector<std::wstring>& record, size_t count)
{
    if (record.size() != count)
        in.Error(L"\"" + record[0] + L"\" takes " + std::to_wstring(count - 1) + L" fields, not " +
                 std::to_wstring(record.size() - 1));
}

std::vector<std::wstring> EntryFields(const CAddressEntry& entry)
{
    return {entry.Name(), entry.Address(), entry.Type(), Number(entry.DisplayType()),
            entry.OwnId()};
}

// An entry from five fields: the book's own when it has the ID, else a new one.
CComPtr<CAddressEntry> EntryFrom(const CRecordReader& in, const std::vector<std::wstring>& record,
                                 size_t first, const EntryLookup& lookup, bool& fromBook)
{
    const std::wstring& ownId = record[first + 4];
    if (lookup)
        if (CAddressEntry* known = lookup(ownId)) {
            fromBook = true;
            return CComPtr<CAddressEntry>(known);
        }
    fromBook = false;
    if (ownId.size() != 48 ||
        ownId.find_first_not_of(L"0123456789ABCDEFabcdef") != std::wstring::npos)
        in.Error(L"an address entry's ID must be 48 hex digits");
    return New<CAddressEntry>(record[first], record[first + 1], record[first + 2],
                              ReadNumber(in, record[first + 3]), ownId);
}

EntryLookup BookOf(const std::shared_ptr<CMailboxLink>& link)
{
    if (!link || !link->mailbox)
        return nullptr;
    CAddressBook* book = &link->mailbox->AddressBook();
    return [book](const std::wstring& ownId) { return book->FindById(ownId); };
}

} // namespace

CComPtr<CItem> NewItemOfClass(long itemClass, const std::shared_ptr<CMailboxLink>& link)
{
    switch (itemClass) {
    case kClassMail:
        return CComPtr<CItem>(New<CMailItem>(link).Get());
    case kClassTask:
        return CComPtr<CItem>(New<CTaskItem>(link).Get());
    case kClassContact:
        return CComPtr<CItem>(New<CContactItem>(link).Get());
    default:
        return nullptr;
    }
}

void WriteItem(const CItem& item, CRecordWriter& out, bool withEntryId)
{
    CItem& source = const_cast<CItem&>(item);
    out.Write({L"item", Number(item.Class()), withEntryId ? item.EntryId() : std::wstring()});
    for (const CItemField& field : item.Fields()) {
        std::wstring text;
        ValueToText(field.value, text);
        out.Write({L"field", field.name, text});
    }
    CRecipients& recipients = source.Recipients();
    for (size_t i = 0; i < recipients.Count(); ++i) {
        const CRecipient* recipient = recipients.At(i);
        std::vector<std::wstring> record = {L"recipient", Number(recipient->Type()),
                                            recipient->Name()};
        if (const CAddressEntry* entry = recipient->Entry()) {
            const std::vector<std::wstring> fields = EntryFields(*entry);
            record.insert(record.end(), fields.begin(), fields.end());
            out.Write(record);
            const CAddressEntries& members = entry->Members();
            for (size_t m = 0; m < members.Count(); ++m) {
                std::vector<std::wstring> member = {L"member"};
                const std::vector<std::wstring> more = EntryFields(*members.At(m));
                member.insert(member.end(), more.begin(), more.end());
                out.Write(member);
            }
        } else {
            out.Write(record);
        }
    }
    CAttachments& attachments = source.Attachments();
    for (size_t i = 0; i < attachments.Count(); ++i) {
        const CAttachment* attachment = attachments.At(i);
        out.Write({L"attachment", Number(attachment->Type()), Number(attachment->Position()),
                   attachment->FileName(), attachment->DisplayName(), attachment->PathName(),
                   EncodeBase64(attachment->Bytes())});
    }
    CUserProperties& properties = source.UserProperties();
    for (size_t i = 0; i < properties.Count(); ++i) {
        const CUserProperty* property = properties.At(i);
        std::wstring text;
        ValueToText(property->Value(), text);
        out.Write({L"property", property->Name(), Number(property->Type()), text});
    }
    out.Write({L"end"});
}

CComPtr<CItem> ReadItem(const std::vector<std::wstring>& head, CRecordReader& in,
                        const std::shared_ptr<CMailboxLink>& link, const EntryLookup& lookup)
{
    Expect(in, head, 3);
    CComPtr<CItem> item = NewItemOfClass(ReadNumber(in, head[1]), link);
    if (!item)
        in.Error(L"no item of class " + head[1]);
    item->SetEntryId(head[2]);

    std::vector<std::wstring> record;
    CComPtr<CAddressEntry> lastEntry; // a new entry, taking the members that follow
    while (in.Next(record)) {
        const std::wstring& kind = record[0];
        if (kind != L"member")
            lastEntry.Release();
        if (kind == L"end") {
            Expect(in, record, 1);
            item->MarkSaved();
            return item;
        }
        if (kind == L"field") {
            Expect(in, record, 3);
            const CItemField* field = item->FindField(record[1]);
            if (!field)
                in.Error(L"this item has no field \"" + record[1] + L"\"");
            CVariant value;
            if (!TextToValue(record[2], field->type, value))
                in.Error(L"\"" + record[2] + L"\" does not fit the field " + field->name);
            item->LoadField(field->name, value);
        } else if (kind == L"recipient") {
            if (record.size() != 3)
                Expect(in, record, 8);
            CRecipient& recipient = item->Recipients().Add(record[2], ReadNumber(in, record[1]));
            if (record.size() == 8) {
                bool fromBook = false;
                CComPtr<CAddressEntry> entry = EntryFrom(in, record, 3, lookup, fromBook);
                recipient.SetEntry(entry.Get());
                if (!fromBook)
                    lastEntry = entry;
            }
        } else if (kind == L"member") {
            Expect(in, record, 6);
            bool fromBook = false;
            CComPtr<CAddressEntry> member = EntryFrom(in, record, 1, lookup, fromBook);
            if (lastEntry) // the book's own entries keep the book's members
                lastEntry->Members().Add(member.Get());
        } else if (kind == L"attachment") {
            Expect(in, record, 7);
            std::string bytes;
            if (!DecodeBase64(record[6], bytes))
                in.Error(L"the attachment's bytes are not base64");
            item->Attachments().Add(ReadNumber(in, record[1]), record[3], record[4], bytes,
                                    ReadNumber(in, record[2]), record[5]);
        } else if (kind == L"property") {
            Expect(in, record, 4);
            const long type = ReadNumber(in, record[2]);
            const VARTYPE vt = UserPropertyVarType(type);
            if (vt == VT_EMPTY)
                in.Error(L"no user property of type " + record[2]);
            CVariant value;
            if (!TextToValue(record[3], vt, value))
                in.Error(L"\"" + record[3] + L"\" does not fit the property " + record[1]);
            CUserProperty& property = item->UserProperties().Add(record[1], type);
            property.SetValue(value);
        } else {
            in.Error(L"\"" + kind + L"\" has no place in an item");
        }
    }
    in.Error(L"the item has no \"end\"");
}

std::string ItemToMsg(const CItem& item)
{
    CRecordWriter out;
    out.Write({kMsgMagic, kMsgVersion});
    WriteItem(item, out, false);
    return out.Text();
}

CComPtr<CItem> ItemFromMsg(const std::string& bytes, const std::shared_ptr<CMailboxLink>& link,
                           std::wstring* error)
{
    try {
        CRecordReader in(bytes);
        std::vector<std::wstring> record;
        if (!in.Next(record) || record.size() != 2 || record[0] != kMsgMagic)
            in.Error(L"not a message file");
        if (record[1] != kMsgVersion)
            in.Error(L"message file version " + record[1] + L" is not known");
        if (!in.Next(record) || record[0] != L"item")
            in.Error(L"the file holds no item");
        CComPtr<CItem> item = ReadItem(record, in, link, BookOf(link));
        if (in.Next(record))
            in.Error(L"more than one item");
        return item;
    } catch (const CFormatError& failure) {
        if (error)
            *error = failure.text;
    } catch (const CInvokeError& failure) {
        if (error)
            *error = failure.description;
    }
    return nullptr;
}

} // namespace standin
