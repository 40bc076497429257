#include "standins/outlook/model/Items.h"

#include <algorithm>

#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/core/NoModalScope.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/ItemImage.h"
#include "standins/outlook/model/Mailbox.h"

namespace standin {

CItems::CItems(CFolder& folder) : CAutoObject(L"Items"), m_folder(&folder)
{
    AddEventSource(kItemsEvents);
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(m_items.size())); });
    Indexed(L"Item", 1, 1, [this](CCall& call) {
        call.Return(m_items[CollectionIndex(call.Long(0), m_items.size())].Get());
    });
    // A new item for this folder: it comes in when it is saved.
    Method(L"Add", 0, 1, [this](CCall& call) {
        if (!m_folder || !m_folder->Mailbox())
            Fail(E_FAIL, L"The operation failed.");
        const long type = call.Long(0, m_folder->DefaultItemType());
        CComPtr<CItem> item = m_folder->Mailbox()->CreateItem(type);
        if (!item)
            Fail(E_INVALIDARG, L"The parameter is incorrect.");
        item->SetHomeFolder(m_folder);
        call.Return(item.Get());
    });
    Method(L"Remove", 1, 1, [this](CCall& call) {
        CComPtr<CItem> item = m_items[CollectionIndex(call.Long(0), m_items.size())];
        Remove(item.Get());
        item->SetGone();
    });
}

CItems::~CItems()
{
    Orphan();
}

CItem* CItems::At(size_t zeroBased) const
{
    return zeroBased < m_items.size() ? m_items[zeroBased].Get() : nullptr;
}

void CItems::Add(CItem* item)
{
    if (!item || !m_folder)
        return;
    CComPtr<CItem> keep(item);
    if (item->Folder() == m_folder)
        return;
    if (CFolder* old = item->Folder())
        old->Items().Remove(item);
    if (item->EntryId().empty() && m_folder->Mailbox())
        item->SetEntryId(m_folder->Mailbox()->NewEntryId());
    item->SetFolder(m_folder);
    item->SetHomeFolder(nullptr);
    m_items.push_back(keep);
    item->MarkSaved();
    CNoModalScope inside(L"ItemAdd");
    Fire(kItemsEvents, kDispItemAdd, {CVariant(item->Dispatch())});
}

bool CItems::Remove(CItem* item)
{
    auto it = std::find_if(m_items.begin(), m_items.end(),
                           [item](const CComPtr<CItem>& held) { return held.Get() == item; });
    if (it == m_items.end())
        return false;
    CComPtr<CItem> keep = *it;
    m_items.erase(it);
    item->SetFolder(nullptr);
    Fire(kItemsEvents, kDispItemRemove);
    return true;
}

void CItems::Changed(CItem* item)
{
    Fire(kItemsEvents, kDispItemChange, {CVariant(item->Dispatch())});
}

void CItems::Replace(std::vector<CComPtr<CItem>> items)
{
    for (const CComPtr<CItem>& item : m_items)
        if (item->Folder() == m_folder)
            item->SetFolder(nullptr);
    m_items = std::move(items);
    for (const CComPtr<CItem>& item : m_items)
        item->SetFolder(m_folder);
}

void CItems::Orphan()
{
    for (const CComPtr<CItem>& item : m_items)
        if (item->Folder() == m_folder)
            item->SetFolder(nullptr);
    m_folder = nullptr;
}

} // namespace standin
