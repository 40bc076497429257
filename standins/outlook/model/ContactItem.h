// CContactItem: a stand-in Outlook contact (Class 40, "IPM.Contact") with the
// names and the three e-mail addresses the address book offers.
#pragma once

#include "standins/outlook/model/Item.h"

namespace standin {

class CContactItem : public CItem {
public:
    explicit CContactItem(std::shared_ptr<CMailboxLink> link = nullptr);

    std::wstring FullName() const { return Text(L"FullName"); }
    // 1 to 3.
    std::wstring EmailAddress(int which) const;
};

} // namespace standin
