#include "addin/sync/SyncItem.h"

#include "addin/AddinResource.h"

CSyncItem::CSyncItem(int itemType) : m_itemType(itemType)
{
    if (!m_actionText.LoadString(IDS_SYNC_COMPUTING))
        m_actionText = "Computing...";
}

const CString& CSyncItem::DisplayName() const
{
    return IsTask() ? m_subject : m_fullName;
}
