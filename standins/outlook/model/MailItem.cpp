#include "standins/outlook/model/MailItem.h"

#include "standins/outlook/model/Recipients.h"
#include "standins/outlook/model/ValueText.h"

namespace standin {

CMailItem::CMailItem(std::shared_ptr<CMailboxLink> link)
    : CItem(L"MailItem", kClassMail, L"IPM.Note", std::move(link))
{
    AddField(L"HTMLBody", VT_BSTR);
    AddField(L"BodyFormat", VT_I4); // 1 plain text, 2 HTML, 3 rich text
    Field(L"BodyFormat").value.lVal = 1;
    AddField(L"Sent", VT_BOOL, true);
    AddField(L"ReceivedTime", VT_DATE, true);
    AddField(L"SenderName", VT_BSTR, true);
    AddField(L"SenderEmailAddress", VT_BSTR, true);
    Getter(L"Recipients", [this](CCall& call) { call.Return(&Recipients()); });
    const struct {
        const wchar_t* name;
        long type;
    } lines[] = {{L"To", kRecipientTo}, {L"CC", kRecipientCc}, {L"BCC", kRecipientBcc}};
    for (const auto& line : lines) {
        const long type = line.type;
        AddComputed(
            line.name, [this, type](CCall& call) { call.Return(RecipientNames(type)); },
            [this, type](CCall& call) { SetRecipientNames(type, call.ValueText()); });
    }
}

std::wstring CMailItem::RecipientNames(long type) const
{
    CRecipients& recipients = const_cast<CMailItem*>(this)->Recipients();
    std::wstring names;
    for (size_t i = 0; i < recipients.Count(); ++i) {
        const CRecipient* recipient = recipients.At(i);
        if (recipient->Type() != type)
            continue;
        if (!names.empty())
            names += L"; ";
        names += recipient->Name();
    }
    return names;
}

void CMailItem::SetRecipientNames(long type, const std::wstring& names)
{
    CRecipients& recipients = Recipients();
    for (size_t i = recipients.Count(); i-- > 0;)
        if (recipients.At(i)->Type() == type)
            recipients.Remove(i);
    size_t start = 0;
    while (start <= names.size()) {
        size_t end = names.find(L';', start);
        if (end == std::wstring::npos)
            end = names.size();
        const std::wstring name = Trimmed(names.substr(start, end - start));
        if (!name.empty())
            recipients.Add(name, type);
        start = end + 1;
    }
    Touch();
}

} // namespace standin
