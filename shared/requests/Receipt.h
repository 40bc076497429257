// CReceipt: what the system keeps of a signature request it sent. A receipt
// is built from a list of named values (CReceiptAtom). The broadcast agent
// writes its receipts as files in the user's Receipts folder (kind 6, the
// writer at the end of this header); the add-in reads them back with
// CSAXReceipt into the same atom list.
#pragma once

#include <list>
#include <memory>
#include <windows.h>

#include "classlib/strings/CString.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/xml/XMLIO.h"

// One value of a receipt. Atoms read from a receipt file have no item and
// carry their value under one of the names below.
class CReceiptAtom {
public:
    static constexpr const char* kSubject = "Subject";
    static constexpr const char* kDocName = "DocName";
    static constexpr const char* kSigners = "Signers";
    static constexpr const char* kSecondSigners = "SecondSigners";
    static constexpr const char* kCCs = "CCs";
    // The decoded message text (the file holds it in base64).
    static constexpr const char* kEmailMessage = "EmailMessage";
    // The path of a temporary file with the decoded document bytes (the file
    // holds them in base64). The atom owns the file: see TakeFile.
    static constexpr const char* kDocBytes = "DocBytes";
    static constexpr const char* kFileID = "FileID";
    static constexpr const char* kLink = "Link";
    static constexpr const char* kReceiptSubject = "ReceiptSubject";
    static constexpr const char* kReceiptCategory = "ReceiptCategory";

    // An atom about a mail item (not reference-counted: the creator keeps
    // the item alive while the receipt is in use).
    CReceiptAtom(IDispatch* item, const char* name, const char* requestId, const char* link,
                 const char* subject);
    // An atom read from a receipt file. The value is kept whole, zero bytes
    // and all.
    CReceiptAtom(const char* name, const char* subject, CString value);
    CReceiptAtom(const CReceiptAtom&) = delete;
    CReceiptAtom& operator=(const CReceiptAtom&) = delete;
    // Removes the file the atom owns, unless someone took it.
    ~CReceiptAtom()
    {
        if (m_ownsFile && !m_value.IsEmpty())
            DeleteFileA(m_value);
    }

    // The receipt reader gives a "DocBytes" atom the file its value names,
    // so that a receipt that is discarded leaves no document behind.
    void OwnFile() { m_ownsFile = true; }
    // Hands the owned file (the value) to the caller, who deletes it.
    const CString& TakeFile()
    {
        m_ownsFile = false;
        return m_value;
    }

    IDispatch* m_item = nullptr;
    CString m_name;
    CString m_requestId;
    CString m_link;
    CString m_subject;
    CString m_value;

private:
    bool m_ownsFile = false;
};

class CReceipt : public CXMLElem, public CDispatcher {
public:
    static constexpr int kTaskReceipt = 3;
    static constexpr int kFileReceipt = 6;

    using AtomList = std::list<std::unique_ptr<CReceiptAtom>>;

    CReceipt(IDispatch* application, int kind);
    CReceipt(const CReceipt&) = delete;
    CReceipt& operator=(const CReceipt&) = delete;
    // Closes the receipt file when still open; the atoms go with the receipt.
    ~CReceipt() override;

    // Puts the atom at the head of the list, so the list holds the atoms in
    // the reverse of the order they were added. E_INVALIDARG for null.
    HRESULT AddAtom(std::unique_ptr<CReceiptAtom> atom);

    // Head first.
    const AtomList& GetAtoms() const { return m_atoms; }
    // Hands the head atom to the caller; null when there is none.
    std::unique_ptr<CReceiptAtom> TakeHeadAtom();

    int GetKind() const { return m_kind; }
    IDispatch* GetApplication() const { return m_application; }
    void SetExtraText(const char* text) { m_extraText = text ? text : ""; }
    const CString& GetExtraText() const { return m_extraText; }
    void SetCategories(const char* text) { m_categories = text ? text : ""; }
    const CString& GetCategories() const { return m_categories; }

    // The receipt file being written, or the one read.
    const CString& GetFilePath() const { return m_filePath; }
    void SetFilePath(const char* path) { m_filePath = path ? path : ""; }

    // Where the receipt reader gathers the text of one element.
    CString& CaptureText() { return m_captureText; }

    // ---- the task receipt in Outlook ----
    // The add-in builds these in (addin/receipts/ReceiptTask.cpp): they talk to
    // Outlook, which the agent never does.

    // Adds an atom about the item at the head: the item's Subject ("<no
    // subject>" when it cannot be read) with name, request ID and link. The
    // HRESULT of the subject read, or E_OUTOFMEMORY (no atom then).
    HRESULT AddItem(IDispatch* item, const char* name, const char* requestId, const char* link);
    // Makes the receipt of a kind 3 receipt from its head atom: a task in
    // Outlook with the atom's request ID and link, the mail's recipients as
    // signers unless signers is given, the mail attached, shown when display
    // is set. subject, when given and not empty, replaces the "Quillet
    // Receipt: <mail subject>" subject. Nothing without atoms or for another
    // kind; the task is made as far as it can be, and nothing is reported.
    void Generate(const char* signers, BOOL display, const char* subject);
    // The task itself. A failure after the task was created is logged and
    // the next step still runs. The result of CreateItem when no task could
    // be made, else that of Save; E_INVALIDARG without an atom.
    HRESULT GenerateTaskReceipt(const char* fullSubject, const char* shortSubject,
                                const char* signers, const CReceiptAtom* atom, BOOL display);
    // Saves the head atom's mail as a ".msg" copy in "Sent Items" and
    // embeds it into target at position (SaveMsgCopy, addin/receipts/MsgCopy.h);
    // subject names the file. E_INVALIDARG without atoms.
    HRESULT AttachMsgToItem(IDispatch* target, const char* subject, long position);
    // The atom's link, or the service host of the settings when it has none.
    static void GetReceiptUrl(const CReceiptAtom& atom, CString& url);

private:
    friend HRESULT CloseReceiptFile(CReceipt* receipt, const char* piecePath);
    friend HRESULT AddReceiptAtom(const char* text, CReceipt* receipt);
    friend HRESULT FileReceipt(CReceipt* receipt);

    // Opens the work file for appending, making it on first use.
    HRESULT OpenReceiptFile();
    HRESULT AppendToReceiptFile(const char* bytes, DWORD count);

    int m_kind;
    IDispatch* m_application;
    CString m_extraText;
    CFileHandle m_file;
    CString m_filePath;
    CString m_captureText;
    CString m_categories;
    AtomList m_atoms;
};

// The data folders of the product, "<application data>\Quillet\Sent Items"
// and "...\Receipts", made when missing. 0 or E_FAIL.
HRESULT GetSentItemsFolder(CString& path);
HRESULT GetReceiptsFolder(CString& path);

// The receipt file writer of the broadcast agent. Each step wants a receipt
// of kind 6 (else E_INVALIDARG) and leaves the file closed.
//
// The work file is a temporary file made new for the receipt on its first
// write; a stale file that happens to carry the same name is never written
// into (a fresh name is taken).
//
// Appends the bytes of a request piece file or, with no piece path, the
// closing line. E_FAIL when the work file cannot be made or written or the
// piece cannot be read.
HRESULT CloseReceiptFile(CReceipt* receipt, const char* piecePath);
// Appends text as it stands.
HRESULT AddReceiptAtom(const char* text, CReceipt* receipt);
// Appends the Results block of a finished request. The values are escaped
// here: pass them as the service and the broadcast file gave them, not
// already escaped.
HRESULT AddReceiptResults(CReceipt* receipt, const char* fileId, const char* link,
                          const char* subject, const char* category);
// Copies the work file into the Receipts folder under its own name (under a
// fresh one when a file of that name is already there: nothing is written
// over) and deletes the work file. The copy is made under a name the import
// passes over and renamed once whole, so the folder never shows half a
// receipt. E_FAIL when the copy fails; the work file then stays, and
// nothing of it is left in the folder.
HRESULT FileReceipt(CReceipt* receipt);
