// CQuilletReceipt: a receipt the broadcast agent left as a file in the
// Receipts folder, read back (CSAXReceipt) and made into the Outlook task
// receipt the send road would have made: the task with the request's ID,
// link and signers, and the sent mail rebuilt from the file and embedded.
//
// The file goes only once its task has been saved: a receipt whose task
// could not be made keeps its file, set aside until it changes.
#pragma once

#include <memory>

#include "shared/requests/Receipt.h"

class CReceiptEmail;

class CQuilletReceipt : public CReceipt {
public:
    // One document of the rebuilt mail: its name and the file with its
    // bytes (as the receipt reader decoded them), which the document owns.
    class CDocument {
    public:
        CDocument() = default;
        CDocument(const CDocument&) = delete;
        CDocument& operator=(const CDocument&) = delete;
        // Deletes the file.
        ~CDocument();

        bool IsComplete() const { return !m_name.IsEmpty() && !m_file.IsEmpty(); }

        CString m_name;
        CString m_file;
    };

    explicit CQuilletReceipt(IDispatch* application);
    // Deletes the receipt file when the task was saved.
    ~CQuilletReceipt() override;

    // Reads the receipt file; the receipt keeps its path. 0 or the reader's
    // failure.
    HRESULT LoadFile(const char* path);
    // Makes the task from the receipt's values and saves it; the values are
    // used up. 0; S_FALSE, and no task made, when the request has a task
    // already (the receipt then counts as imported); or the failure of the
    // step that stopped it (the task is then not saved and the file stays).
    HRESULT GenerateTaskReceipt();

    // The request ID the file names ("FileID"); empty when it names none.
    CString GetRequestId() const;

    // The task was saved, or the request had one already: the file goes
    // with the receipt (or, when it cannot be deleted, is set aside so that
    // no import reads it again).
    bool IsTaskSaved() const { return m_taskSaved; }

private:
    // Uses up the receipt's values: the task's user properties and body,
    // and the mail and the receipt subject they tell of.
    HRESULT TakeValues(IDispatch* task, const CString& sentAt, CReceiptEmail& email, CString& body,
                       CString& receiptSubject);

    bool m_taskSaved = false;
};
