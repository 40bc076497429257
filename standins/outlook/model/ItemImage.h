// An item as records of the mailbox file ("item" to "end"), and the ".msg"
// stand-in: one item alone in a file of that format (see
// standins/outlook/README.md). Both keep every field, the recipients with
// their address entries, the attachments with their bytes and the user
// properties, so an item read back is the item written.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/RecordFile.h"

namespace standin {

class CAddressEntry;

// An address-book entry by its own 48 digits; null when the book has none.
using EntryLookup = std::function<CAddressEntry*(const std::wstring& ownId)>;

// A new, empty item of the class (43 mail, 48 task, 40 contact); null for
// another class.
CComPtr<CItem> NewItemOfClass(long itemClass, const std::shared_ptr<CMailboxLink>& link);

// withEntryId false: a copy of the item, as a ".msg" file holds it.
void WriteItem(const CItem& item, CRecordWriter& out, bool withEntryId = true);
// Reads the item whose "item" record is head, through its "end". Throws
// CFormatError.
CComPtr<CItem> ReadItem(const std::vector<std::wstring>& head, CRecordReader& in,
                        const std::shared_ptr<CMailboxLink>& link, const EntryLookup& lookup);

std::string ItemToMsg(const CItem& item);
// Null, with the reason, when the bytes are not a ".msg" stand-in.
CComPtr<CItem> ItemFromMsg(const std::string& bytes, const std::shared_ptr<CMailboxLink>& link,
                           std::wstring* error = nullptr);

} // namespace standin
