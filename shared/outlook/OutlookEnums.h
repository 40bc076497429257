// The values of Outlook's enumerations that the system passes and compares
// in late-bound calls. Outlook's type library is not at hand, so they are
// said here once, with Outlook's own names beside them; they are Outlook's
// numbers and must stay as they are.
#pragma once

namespace ol {

// OlItemType: CreateItem's kind and a folder's DefaultItemType.
inline constexpr long kMailItem = 0;    // olMailItem
inline constexpr long kContactItem = 2; // olContactItem
inline constexpr long kTaskItem = 3;    // olTaskItem

// OlObjectClass: an item's Class.
inline constexpr long kClassMail = 43; // olMail
inline constexpr long kClassTask = 48; // olTask

// OlAttachmentType: Attachments.Add's type and an attachment's Type.
inline constexpr long kAttachByValue = 1;      // olByValue
inline constexpr long kAttachByReference = 4;  // olByReference
inline constexpr long kAttachEmbeddedItem = 5; // olEmbeddeditem
// Attachments.Add's position for "after everything there is".
inline constexpr long kAttachAtEnd = 0x7FFFFFFF;

// OlTaskStatus: a task's Status.
inline constexpr long kTaskInProgress = 1; // olTaskInProgress
inline constexpr long kTaskComplete = 2;   // olTaskComplete

// OlDefaultFolders: GetDefaultFolder's folder.
inline constexpr long kFolderInbox = 6;  // olFolderInbox
inline constexpr long kFolderTasks = 13; // olFolderTasks

// OlMailRecipientType: a recipient's Type.
inline constexpr long kRecipientTo = 1;  // olTo
inline constexpr long kRecipientBcc = 3; // olBCC

// OlDisplayType: an address entry's DisplayType.
inline constexpr long kDisplayUser = 0;            // olUser
inline constexpr long kDisplayDistList = 1;        // olDistList
inline constexpr long kDisplayPrivateDistList = 5; // olPrivateDistList
inline constexpr long kDisplayRemoteUser = 6;      // olRemoteUser

// OlSaveAsType: SaveAs's format.
inline constexpr long kSaveAsMsg = 3; // olMSG

// OlInspectorClose: Close's mode.
inline constexpr long kCloseSave = 0; // olSave

// OlUserPropertyType: UserProperties.Add's type.
inline constexpr long kUserPropertyText = 1;  // olText
inline constexpr long kUserPropertyYesNo = 6; // olYesNo

} // namespace ol
