// CItems: the items of one folder, in the order they came in. It raises
// ItemAdd when an item is saved into (or moved into) the folder, ItemChange
// when an item of the folder is saved again, and ItemRemove when one leaves.
#pragma once

#include <vector>

#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CFolder;
class CItem;

class CItems final : public CAutoObject {
public:
    explicit CItems(CFolder& folder);

    size_t Count() const { return m_items.size(); }
    // Null past the end.
    CItem* At(size_t zeroBased) const;
    // Puts the item into this folder (taking it out of the one it was in),
    // marks it saved, gives it an entry ID when it has none and fires
    // ItemAdd. An item already here is left as it is.
    void Add(CItem* item);
    // Takes the item out and fires ItemRemove; false when it is not here.
    bool Remove(CItem* item);
    // Fires ItemChange for an item of this folder.
    void Changed(CItem* item);
    // Null once the folder is gone.
    CFolder* Folder() const { return m_folder; }

    // The items a mailbox file holds, in place of those here; no events.
    void Replace(std::vector<CComPtr<CItem>> items);
    // The folder goes: its items no longer name it.
    void Orphan();

private:
    ~CItems() override;

    CFolder* m_folder;
    std::vector<CComPtr<CItem>> m_items;
};

} // namespace standin
