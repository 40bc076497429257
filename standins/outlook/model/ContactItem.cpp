#include "standins/outlook/model/ContactItem.h"

namespace standin {

CContactItem::CContactItem(std::shared_ptr<CMailboxLink> link)
    : CItem(L"ContactItem", kClassContact, L"IPM.Contact", std::move(link))
{
    AddField(L"FullName", VT_BSTR);
    AddField(L"Email1Address", VT_BSTR);
    AddField(L"Email2Address", VT_BSTR);
    AddField(L"Email3Address", VT_BSTR);
}

std::wstring CContactItem::EmailAddress(int which) const
{
    return Text(L"Email" + std::to_wstring(which) + L"Address");
}

} // namespace standin
