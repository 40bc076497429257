// CSyncItem: one Outlook item as the sync dialog lists it: what was read
// from the item (by CPushPull::LoadOneItem), where the item stands in the
// sync (its state, which is also the picture of its row) and what the
// service said of its request.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"
#include "shared/outlook/OutlookEnums.h"

class CSyncItem {
public:
    // The states, which are also the indexes of the state pictures.
    enum State {
        kToUpdate = 1, // a task whose request is asked about
        kNothing = 2,  // nothing to do (contacts)
        kUpdated = 3,
        kNew = 4,
        kFailed = 5,
    };
    // Outlook's default item types of the folders the sync knows.
    static constexpr int kContactItems = ol::kContactItem;
    static constexpr int kTaskItems = ol::kTaskItem;

    // A new item of a folder of that item type: state new, action text
    // "Computing...".
    explicit CSyncItem(int itemType);

    // The name the status line gives the item: a contact's full name, a
    // task's subject.
    const CString& DisplayName() const;
    bool IsTask() const { return m_itemType == kTaskItems; }

    int m_state = kNew;
    CString m_entryId;
    CString m_email;    // contacts: Email1Address
    CString m_fullName; // contacts: FullName
    CString m_subject;  // tasks: Subject
    CString m_dueDate;  // tasks: DueDate as "%m/%d/%Y", empty for none
    CString m_actionText;
    CString m_kindText = "Task";
    CString m_requestId;         // user property "Quillet ID"
    SYSTEMTIME m_lastModified{}; // LastModificationTime
    int m_itemType;
    int m_wantsSignedCopy = 0; // set when the request was found fully signed
    CString m_signedCopy;      // user property "Quillet PDF"
    CString m_statusDetail;    // the request's document, from its status
    CString m_failure;         // why the item failed, as its row shows it
};
