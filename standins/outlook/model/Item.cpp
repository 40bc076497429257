#include "standins/outlook/model/Item.h"

#include <stdexcept>

#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/model/Attachments.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/ItemImage.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/Mailbox.h"
#include "standins/outlook/model/Recipients.h"
#include "standins/outlook/model/RecordFile.h"
#include "standins/outlook/model/UserProperties.h"
#include "standins/outlook/model/ValueText.h"

namespace standin {

const double kNoDate = 949998.0;

namespace {

// Outlook's SaveAs formats that write a ".msg" file.
constexpr long kSaveAsMsg = 3;
constexpr long kSaveAsMsgUnicode = 9;

[[noreturn]] void FailGone()
{
    Fail(kObjectNotFound, L"The item has been moved or deleted.");
}

std::string Narrow(const std::wstring& text)
{
    return ToUtf8(text);
}

} // namespace

CItem::CItem(const wchar_t* kind, long itemClass, const wchar_t* messageClass,
             std::shared_ptr<CMailboxLink> link)
    : CAutoObject(kind), m_class(itemClass), m_link(std::move(link))
{
    m_recipients = New<CRecipients>(*this);
    m_attachments = New<CAttachments>(*this);
    m_userProperties = New<CUserProperties>(*this);
    AddEventSource(kItemEvents);
    DefineMembers();
    AddField(L"Subject", VT_BSTR);
    AddField(L"Body", VT_BSTR);
    AddField(L"MessageClass", VT_BSTR);
    AddField(L"Categories", VT_BSTR);
    AddField(L"CreationTime", VT_DATE, true);
    AddField(L"LastModificationTime", VT_DATE, true);
    Field(L"MessageClass").value = TextVariant(messageClass);
    const double now = Now();
    Field(L"CreationTime").value.date = now;
    Field(L"LastModificationTime").value.date = now;
}

CItem::~CItem()
{
    m_recipients->Detach();
    m_attachments->Detach();
    m_userProperties->Detach();
}

CMailbox* CItem::Mailbox() const
{
    return m_link ? m_link->mailbox : nullptr;
}

void CItem::DefineMembers()
{
    Getter(L"Class", [this](CCall& call) { call.Return(m_class); });
    Getter(L"EntryID", [this](CCall& call) { call.Return(m_entryId); });
    Getter(L"Saved", [this](CCall& call) { call.ReturnBool(m_saved); });
    Getter(L"Parent", [this](CCall& call) { call.Return(m_folder); });
    Getter(L"Attachments", [this](CCall& call) { call.Return(m_attachments.Get()); });
    Getter(L"UserProperties", [this](CCall& call) { call.Return(m_userProperties.Get()); });
    Method(L"Save", 0, 0, [this](CCall&) { Save(); });
    Method(L"SaveAs", 1, 2, [this](CCall& call) {
        const std::wstring path = call.Text(0);
        const long type = call.Long(1, kSaveAsMsg);
        if (m_gone)
            FailGone();
        if (type != kSaveAsMsg && type != kSaveAsMsgUnicode)
            Fail(E_INVALIDARG, L"The parameter is incorrect.");
        std::wstring error;
        if (!WriteWholeFile(path, ItemToMsg(*this), &error))
            Fail(STG_E_ACCESSDENIED, L"Cannot save the file. " + error);
    });
    Method(L"Close", 1, 1, [this](CCall& call) {
        const long mode = call.Long(0);
        if (mode < 0 || mode > 2)
            Fail(E_INVALIDARG, L"The parameter is incorrect.");
        Close(mode);
    });
    Method(L"Delete", 0, 0, [this](CCall&) { Delete(); });
    Method(L"Display", 0, 1, [this](CCall&) { Display(); });
    Method(L"Move", 1, 1, [this](CCall& call) {
        CFolder* folder = Unwrap<CFolder>(call.Object(0));
        if (!folder)
            Fail(E_INVALIDARG, L"The parameter is incorrect.");
        Move(*folder);
        call.Return(this);
    });
}

void CItem::AddField(const wchar_t* name, VARTYPE type, bool readOnly)
{
    CItemField field;
    field.name = name;
    field.type = type;
    field.readOnly = readOnly;
    if (type == VT_BSTR) {
        field.value = TextVariant(L"");
    } else {
        field.value.vt = type;
        field.value.cyVal.int64 = 0; // the whole value, whatever the type
    }
    if (type == VT_DATE)
        field.value.date = kNoDate;
    m_fields.push_back(std::move(field));

    const std::wstring key = name;
    Handler get = [this, key](CCall& call) { call.Return(Field(key).value); };
    if (readOnly) {
        Getter(name, std::move(get));
        return;
    }
    Property(name, std::move(get), [this, key](CCall& call) {
        if (m_gone)
            FailGone();
        try {
            SetValue(key, call.Value());
        } catch (const std::invalid_argument&) {
            Fail(DISP_E_TYPEMISMATCH, L"Type mismatch.");
        }
    });
}

void CItem::AddComputed(const wchar_t* name, Handler get, Handler put)
{
    Property(name, std::move(get), std::move(put));
}

CItemField& CItem::Field(const std::wstring& name)
{
    for (CItemField& field : m_fields)
        if (SameName(field.name, name))
            return field;
    throw std::invalid_argument("no such item field: " + Narrow(name));
}

const CItemField& CItem::Field(const std::wstring& name) const
{
    return const_cast<CItem*>(this)->Field(name);
}

const CItemField* CItem::FindField(const std::wstring& name) const
{
    for (const CItemField& field : m_fields)
        if (SameName(field.name, name))
            return &field;
    return nullptr;
}

std::wstring CItem::Text(const std::wstring& name) const
{
    std::wstring text;
    ValueToText(Field(name).value, text);
    return text;
}

long CItem::Long(const std::wstring& name) const
{
    const CItemField& field = Field(name);
    if (field.type != VT_I4)
        throw std::invalid_argument("not a number field: " + Narrow(name));
    return field.value.lVal;
}

bool CItem::Bool(const std::wstring& name) const
{
    const CItemField& field = Field(name);
    if (field.type != VT_BOOL)
        throw std::invalid_argument("not a yes/no field: " + Narrow(name));
    return field.value.boolVal != VARIANT_FALSE;
}

double CItem::Date(const std::wstring& name) const
{
    const CItemField& field = Field(name);
    if (field.type != VT_DATE)
        throw std::invalid_argument("not a date field: " + Narrow(name));
    return field.value.date;
}

void CItem::SetValue(const std::wstring& name, const VARIANT& value)
{
    CItemField& field = Field(name);
    CVariant converted;
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, field.type)))
        throw std::invalid_argument("the value does not fit the field " + Narrow(name));
    field.value = converted;
    Touch();
    OnFieldSet(field.name);
}

bool CItem::LoadField(const std::wstring& name, const VARIANT& value)
{
    for (CItemField& field : m_fields) {
        if (SameName(field.name, name)) {
            if (value.vt != field.type)
                return false;
            VariantCopy(&field.value, const_cast<VARIANT*>(&value));
            return true;
        }
    }
    return false;
}

void CItem::SetText(const std::wstring& name, const std::wstring& value)
{
    SetValue(name, TextVariant(value));
}

void CItem::SetLong(const std::wstring& name, long value)
{
    SetValue(name, CVariant(value));
}

void CItem::SetBool(const std::wstring& name, bool value)
{
    CVariant flag;
    flag.vt = VT_BOOL;
    flag.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    SetValue(name, flag);
}

void CItem::SetDate(const std::wstring& name, double value)
{
    CVariant date;
    date.vt = VT_DATE;
    date.date = value;
    SetValue(name, date);
}

void CItem::Save()
{
    if (m_gone)
        FailGone();
    Field(L"LastModificationTime").value.date = Now();
    if (m_folder) {
        MarkSaved();
        m_folder->Items().Changed(this);
        return;
    }
    CFolder* target = m_home;
    if (!target)
        if (CMailbox* mailbox = Mailbox())
            target = mailbox->HomeFolderFor(m_class);
    MarkSaved();
    if (target)
        target->Items().Add(this);
}

void CItem::MarkSaved()
{
    m_saved = true;
    Snapshot();
}

void CItem::Snapshot()
{
    m_savedImage = ItemToMsg(*this);
}

void CItem::Restore()
{
    if (m_savedImage.empty())
        return;
    CComPtr<CItem> saved = ItemFromMsg(m_savedImage, m_link);
    if (saved)
        CopyContentFrom(*saved);
    m_saved = true;
}

void CItem::CopyContentFrom(const CItem& other)
{
    if (other.m_class != m_class)
        throw std::invalid_argument("items of different classes");
    m_fields = other.m_fields;
    m_recipients->Clear();
    for (size_t i = 0; i < other.m_recipients->Count(); ++i) {
        const CRecipient* from = other.m_recipients->At(i);
        m_recipients->Add(from->Name(), from->Type()).SetEntry(from->Entry());
    }
    m_attachments->Clear();
    for (size_t i = 0; i < other.m_attachments->Count(); ++i) {
        const CAttachment* from = other.m_attachments->At(i);
        m_attachments->Add(from->Type(), from->FileName(), from->DisplayName(), from->Bytes(),
                           from->Position(), from->PathName());
    }
    m_userProperties->Clear();
    for (size_t i = 0; i < other.m_userProperties->Count(); ++i) {
        const CUserProperty* from = other.m_userProperties->At(i);
        m_userProperties->Add(from->Name(), from->Type()).SetValue(from->Value());
    }
    Touch();
}

void CItem::Close(long mode)
{
    if (m_gone)
        FailGone();
    CMailbox* mailbox = Mailbox();
    if (mailbox && mailbox->OnClose(*this, mode))
        return;
    CloseWindow(mode);
}

bool CItem::CloseWindow(long mode)
{
    CComPtr<CItem> keepAlive(this);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    CVariant argument;
    argument.vt = VT_BOOL | VT_BYREF;
    argument.pboolVal = &cancel;
    Fire(kItemEvents, kDispClose, {argument});
    if (cancel != VARIANT_FALSE)
        return false;
    ++m_closes;
    if (mode == 0)
        Save();
    else
        Restore();
    return true;
}

void CItem::Delete()
{
    if (m_gone)
        FailGone();
    CComPtr<CItem> keepAlive(this);
    CMailbox* mailbox = Mailbox();
    CFolder* deleted = mailbox ? mailbox->DefaultFolder(kFolderDeletedItems) : nullptr;
    if (m_folder && deleted && m_folder != deleted) {
        deleted->Items().Add(this);
        return;
    }
    if (m_folder)
        m_folder->Items().Remove(this);
    m_gone = true;
}

void CItem::Move(CFolder& folder)
{
    if (m_gone)
        FailGone();
    Field(L"LastModificationTime").value.date = Now();
    folder.Items().Add(this);
}

void CItem::Display()
{
    if (m_gone)
        FailGone();
    ++m_displays;
    if (CMailbox* mailbox = Mailbox())
        mailbox->OnDisplay(*this);
}

} // namespace standin
