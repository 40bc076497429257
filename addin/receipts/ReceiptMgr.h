// CReceiptMgr: the receipt files the broadcast agent left in the Receipts
// folder, read as receipts to be made into Outlook tasks, and the import
// that does it when the user looks at a task folder.
#pragma once

#include <list>
#include <memory>

#include <windows.h>
#include <oaidl.h>

#include "addin/receipts/QuilletReceipt.h"
#include "classlib/strings/CString.h"
#include "classlib/win32/Handles.h"

class CReceiptMgr {
public:
    using ReceiptList = std::list<std::unique_ptr<CQuilletReceipt>>;

    // application: Outlook's (not held), handed to every receipt.
    explicit CReceiptMgr(IDispatch* application);
    CReceiptMgr(const CReceiptMgr&) = delete;
    CReceiptMgr& operator=(const CReceiptMgr&) = delete;
    // The receipts still in the list go (their files stay unless their
    // tasks were saved).
    ~CReceiptMgr();

    // Reads every "*.xml" file of the folder (null or empty: the Receipts
    // data folder, made when missing) as a receipt, in the order the
    // directory search gives them; a file that does not read is left out
    // (left where it is and set aside until it changes), and so is one set
    // aside before. True when at least one receipt was read.
    bool LoadReceipts(const char* folder);

    // The import the explorer runs on a selection change in a task folder:
    // every receipt file becomes a task, under a progress dialog. One
    // import at a time: a call while one runs (a selection change while its
    // dialog is up) does nothing and gives S_FALSE, as does a folder
    // without receipts. 0, or E_OUTOFMEMORY.
    static HRESULT Import(IDispatch* application);

    ReceiptList& Receipts() { return m_receipts; }
    const CString& GetFolder() const { return m_folder; }

private:
    ReceiptList m_receipts;
    CString m_folder;
    IDispatch* m_application;
};

// One step of the search for "<folder>\*.xml": the first call (search not
// valid) starts it, later ones go on. 1 with the file's path ("<folder>\<name>"),
// name and last write time; 0 when no further file matches or the folder
// cannot be searched.
int FindReceiptFiles(CFindHandle& search, const char* folder, CString& path, CString& name,
                     FILETIME& lastWrite);
