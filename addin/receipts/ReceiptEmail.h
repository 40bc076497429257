// CReceiptEmail: the mail a broadcast sent, as its receipt file tells it
// (subject, message, signers, copies and documents), and ReconstituteEmail,
// which makes the mail again and embeds it in the receipt task.
#pragma once

#include <list>
#include <memory>

#include <windows.h>
#include <oaidl.h>

#include "addin/receipts/QuilletReceipt.h"
#include "classlib/strings/CString.h"

class CReceiptEmail {
public:
    using DocumentList = std::list<std::unique_ptr<CQuilletReceipt::CDocument>>;

    CString m_subject;
    CString m_message;
    CString m_signers;
    CString m_secondSigners;
    CString m_ccs;
    // In the order the mail had them.
    DocumentList m_documents;
};

// Makes a mail item (on the Outlook application) of the record (subject, body, To of the signers
// and the second signers, CC, the documents attached by value), saves it, keeps a ".msg" copy in
// the Sent Items data folder and embeds it in the task at position; then deletes the mail item
// again. The record's documents are used up. mail receives the mail item, which is deleted before
// the call returns. 0, E_INVALIDARG for a null application, task or mail, or the failure of the
// first step that failed.
HRESULT ReconstituteEmail(IDispatch* application, CReceiptEmail& email, IDispatch* task,
                          VARIANT* mail, long position);
