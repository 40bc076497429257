// What every receipt task in Outlook carries, whichever road made it (the
// send road through CReceipt::Generate, the import of the agent's receipt
// files): the user properties, the body's text, the start date and the
// message class. CReceipt's task members are built here too (their
// declarations are in shared/requests/Receipt.h).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "classlib/com/CVariant.h"
#include "classlib/strings/CString.h"

// The receipt task's user properties.
inline constexpr wchar_t kQuilletIdProperty[] = L"Quillet ID";
inline constexpr wchar_t kQuilletUrlProperty[] = L"Quillet URL";
inline constexpr wchar_t kSignersProperty[] = L"eSigners";
// What the message class of a receipt task holds.
inline constexpr char kReceiptClassSuffix[] = ".Quillet";

// Sets a text user property of the item when value is not empty (it is
// added to the folder's fields where the folder takes it) and saves the
// item. S_FALSE and nothing done for an empty value.
HRESULT SetReceiptProperty(IDispatch* item, const wchar_t* name, const char* value);

// The time now as the receipt's body tells it (the C library's "%c").
CString ReceiptSentAtText();
// The receipt's body: the sent-at text and the link where the request can
// be followed, in the add-in's text. Neither is read as a format.
CString ReceiptBodyText(const char* sentAt, const char* url);
// The category of a receipt that names none.
CString DefaultReceiptCategory();

// A new task item of the application, held by holder; task borrows it.
// CreateItem's failure, or E_FAIL when it gave no object.
HRESULT CreateTask(IDispatch* application, CVariant& holder, IDispatch*& task);
// The task's Categories: categories, or the default when empty.
HRESULT PutReceiptCategories(IDispatch* task, const CString& categories);

// The item's StartDate becomes now, local time.
HRESULT PutStartDateNow(IDispatch* item);
// Appends ".Quillet" to the item's MessageClass unless it holds it already.
// S_FALSE when it did; the read's or the write's failure.
HRESULT MarkReceiptClass(IDispatch* item);
