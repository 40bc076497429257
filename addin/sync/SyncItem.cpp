#include "addin/sync/SyncItem.h"

#include "addin/AddinResource.h"
#include "classlib/strings/LoadText.h"

CSyncItem::CSyncItem(int itemType) : m_itemType(itemType)
{
    m_actionText = LoadText(IDS_SYNC_COMPUTING, "Computing...");
}

const CString& CSyncItem::DisplayName() const
{
    return IsTask() ? m_subject : m_fullName;
}
