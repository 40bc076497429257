// CMailItem: a stand-in Outlook mail (Class 43, "IPM.Note"). To, CC and BCC
// are the display names of its recipients of that type, joined by "; ", as
// Outlook shows them; setting one replaces those recipients.
#pragma once

#include "standins/outlook/model/Item.h"

namespace standin {

class CMailItem : public CItem {
public:
    explicit CMailItem(std::shared_ptr<CMailboxLink> link = nullptr);

    bool Sent() const { return Bool(L"Sent"); }
    void SetSent(bool sent) { SetBool(L"Sent", sent); }
    std::wstring RecipientNames(long type) const;
    void SetRecipientNames(long type, const std::wstring& names);
};

} // namespace standin
