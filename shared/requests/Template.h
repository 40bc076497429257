// CTemplate: a stored signature template, and equally the signature request
// the user is building (the send road fills one from the mail item and
// merges a stored template into it). Saved as, and loaded from, a template
// file of the template folder.
#pragma once

#include <memory>
#include <windows.h>

#include "classlib/strings/CTypedPtrList.h"
#include "shared/requests/KeywordValue.h"
#include "shared/requests/Recip.h"
#include "shared/requests/Role.h"
#include "shared/requests/SendOptions.h"
#include "shared/requests/TempDoc.h"
#include "shared/xml/XMLIO.h"

class CFile;

class CTemplate : public CXMLElem {
public:
    CTemplate() = default;
    CTemplate(const CTemplate&) = delete;
    // Deep copy; may throw std::bad_alloc (use the Copy operations to get
    // a code instead).
    CTemplate& operator=(const CTemplate& other);
    ~CTemplate() override = default;

    // ---- template files ----

    // True when name can be a template's file name: not empty, no path
    // separators or other characters Windows forbids, no "." or ".." and
    // no device name, not ending in a dot or blank.
    static bool IsValidName(const char* name);
    // folder\fileName, refused (E_INVALIDARG) unless it lies directly inside
    // folder once made absolute and the whole path is shorter than MAX_PATH
    // (what the ANSI file functions take). The one rule for every template
    // name that becomes a file: the editor's and a mailed template's.
    static HRESULT PathInFolder(const char* folder, const char* fileName, CString& path);

    // Keeps path as the file path and reads the file into this record; then
    // one role per signer that has one. The parse's HRESULT; a file that
    // does not parse or is refused (a DTD, embedded bytes that are not
    // base64) gives its failure, and the documents it filed are taken out
    // again with their embedded files.
    HRESULT LoadXML(const char* path);
    // Writes folder\<name>.xml, replacing a file of that name only once the
    // whole new file is written (it is written beside it first), so a failed
    // save leaves the old template as it was. E_INVALIDARG for a name that
    // PathInFolder refuses or a template without a signature document;
    // E_FAIL when the file (or an embedded document's bytes) cannot be
    // written or put in place.
    HRESULT SaveXML(const char* folder);
    // Appends the base64 text of the file source to output: lines of 64
    // characters, each ended by "\n". 0, E_ACCESSDENIED (source not
    // readable) or E_FAIL (a write failed).
    static HRESULT WriteFileBytes(CFile& output, const char* source);

    // ---- templates from someone else ----

    // A template from outside (a mailed one, a file imported into the
    // editor) carries its documents' own bytes, or the placeholder that
    // stands for the attachments of the mail being sent, and nothing else:
    // a document without bytes names a file by its key, and the next send
    // with the template would read and upload whatever file of this machine
    // that is. The first such document, or null; placeholder is the text of
    // the attachment placeholder.
    const CTempDoc* LocalDocument(const char* placeholder) const;
    // What an import that refuses the template for that document says.
    CString LocalDocumentRefusal(const CTempDoc& document) const;

    // ---- copies (0 or E_OUTOFMEMORY; what was copied stays) ----
    HRESULT CopySettings(const CTemplate& other);
    HRESULT CopyDocuments(const CTemplate& other);
    HRESULT CopySigners(const CTemplate& other);
    HRESULT CopyRoles(const CTemplate& other);
    HRESULT CopyKeywordValues(const CTemplate& other);

    // ---- the wizard's rows ----

    // Finds the sending user's name and SMTP address for the process (the
    // Identity setting, else the MAPI profile). 0 or a failure.
    static HRESULT IdentifyUser();
    // Rebuilds the keyword rows. 0, or E_FAIL for an option index outside
    // its choices (the rows made so far stay).
    HRESULT BuildKeywordRows();
    // 1 when the row's choice is forced (the value then is the one free
    // role, or empty without one); 0 when two or more roles are free.
    int AutoSelectRole(CKeywordValue& row);
    // Gives the first signer whose row the row is (same key as the rows
    // were built with) the row's value as its role. TRUE when found.
    BOOL SetSignerRole(const CKeywordValue& row);
    // 1 when a role row that counts already holds role.
    int IsRoleTaken(const char* role) const;

    // ---- matching ----

    // Merges a stored template into this request; the request keeps its
    // mail's facts (attachment count, sender among the recipients). 0,
    // E_INVALIDARG (no
    // template, no signature document, unequal numbers of unpaired
    // recipients and signers), E_FAIL or E_OUTOFMEMORY.
    HRESULT ApplyTemplate(CTemplate* stored);
    int HasSenderSigner() const;
    // Forgets every pairing; with removeAdded also the recipients a
    // template added.
    void ResetMatches(BOOL removeAdded);
    int CountUnmatched() const;
    // From pos on (the head when pos is null at the first call), the next
    // signer without a partner; pos moves past it. Null at the end.
    CRecip* NextUnmatched(POSITION& pos) const;
    // Each recipient with a partner takes over the partner's record but
    // stays who it is. 0 or E_OUTOFMEMORY.
    HRESULT CopyMatchedSigners();

    bool IsBroadcast() const { return m_sendOptions.m_sendMode == CSendOptions::kBroadcast; }

    // The m_stringN and m_intN fields mirror the record's layout: they keep
    // the places of fields that nothing in the system gives a meaning, so
    // the named ones stay in their order, and copies carry them along.
    CTypedPtrList<CRecip> m_signers;
    CTypedPtrList<CRole> m_roles;
    CTypedPtrList<CKeywordValue> m_keywordValues;
    CString m_name; // the file name without ".xml"
    CString m_description;
    CString m_subject;
    CSendOptions m_sendOptions;
    std::unique_ptr<CTempDoc> m_signatureDoc;
    std::unique_ptr<CTempDoc> m_referenceDoc;
    std::unique_ptr<CTempDoc> m_infoDoc;
    CString m_filePath;
    // The sending user is one of the mail's recipients (the send road sets
    // it); the wizard then counts the user as a signer already.
    int m_senderIsRecipient = 0;
    DWORD m_fileTimeLow = 0;
    DWORD m_fileTimeHigh = 0;
    int m_match = 1;
    CString m_message;
    CString m_string1;
    CString m_string2;

private:
    void AddRoleRow(CRecip& signer, const CString& prompt);
    HRESULT AddListRow(const char* key, const CString& choices, int selected);
    HRESULT WriteFile(CFile& file) const;
};
