// OpQuillet: what the five signature-request operations share. Each one is
// either sent at once or, queued for a broadcast, cut into pieces (castlets)
// around the file ID that does not exist yet, and described by an operation
// file that the agent assembles and sends once per target.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"
#include "classlib/strings/CTypedPtrList.h"
#include "shared/requests/Castlet.h"
#include "shared/config/Credentials.h"
#include "shared/service/WebSvrOp.h"

class CBodyPart;

class OpQuillet : public CWebSvrOp {
public:
    explicit OpQuillet(const char* serviceUrl) : CWebSvrOp(serviceUrl) {}
    ~OpQuillet() override;

    // Empty: E_FAIL; a service error report ("ERROR:"): E_FAIL, and the text
    // becomes the error text; else 0.
    HRESULT CheckResult(const CString& result);
    // Prepares the request in queued mode and writes the operation file; its
    // path goes to path. 0, E_INVALIDARG (the request could not be made) or
    // E_FAIL (no operation file).
    HRESULT SaveOpFile(CString& path);
    // Builds a new request file from the castlets with the file ID after the
    // head; its path, or null.
    const char* AssembleRequest();
    // Writes the operation file into a new file; its path, or null.
    const char* WriteOpFile();
    // After the "Head" piece the file ID belongs: written (escaped) there.
    virtual HRESULT WritePart(HANDLE file, const char* name);

    const CString& GetOpFilePath() const { return m_opFilePath; }
    const CString& GetSoapAction() const { return m_soapAction; }
    // The agent sends a queued request with the SOAPAction its operation
    // file names.
    void SetSoapAction(const char* action) { m_soapAction = action ? action : ""; }
    const CString& GetRequestFilePath() const { return m_requestFilePath; }

    CCredentials m_credentials;
    CTypedPtrList<CCastlet> m_castlets{10};
    int m_queued = 0;
    CString m_opFilePath;
    const CString* m_fileId = nullptr; // owned by the user (the create operation's result)

protected:
    int PrepareData() override;

    // What the operation needs before any file is made (E_INVALIDARG).
    virtual HRESULT CheckInputs() { return S_OK; }
    // The extension of the request file; null keeps the system's ".tmp".
    virtual const char* RequestExtension() const { return nullptr; }
    // Writes the request: its text through Put and PutElement, cut with
    // BeginPiece where the queued pieces meet.
    virtual HRESULT WriteRequest() = 0;
    // Logs why the frame failed (the upload operation tells more).
    virtual void LogFailure(const char*) {}

    // Starts the named piece. Queued, it becomes a castlet ("Head" is the
    // request file itself); at once, leaving "Head" writes the file ID.
    HRESULT BeginPiece(const char* name);
    // The envelope's head, the API code and the file ID element, which the
    // queued request leaves open between its "Head" and "Tail" pieces (the
    // file ID of a broadcast target lands there): "<m:fileIdTag>", then
    // "</m:fileIdTag>\n" at the start of the "Tail".
    HRESULT PutHeadAndFileId(const char* method, const char* apiCodeTag, const char* fileIdTag);
    HRESULT Put(const char* text);
    // "<m:name>value</m:name>\n", the value escaped.
    HRESULT PutElement(const char* name, const char* value);
    // The part's Base64 text (escaped) goes into the request. A document
    // (asDocument) is saved as its file and fails the request when it cannot
    // be saved or encoded; a message is written as text and, when that
    // fails, leaves the element empty.
    HRESULT PutBase64(CBodyPart* part, bool asDocument);
    // Selects the method's response and checks its result text.
    HRESULT ReadResult(const char* method, CString& result);
    // The result read into target (untouched on failure), with the error
    // code set; 1 for success, as ParseResponse answers.
    int TakeResult(const char* method, CString& target);

    HANDLE m_out = INVALID_HANDLE_VALUE; // where Put writes; not owned

private:
    // A new request file (never one opened over a stale file) becomes the
    // request; false when none can be made.
    bool NewRequestFile(const char* extension);
    static HRESULT WriteAll(HANDLE file, const char* bytes, DWORD count);
    void DiscardCastlets();
    CString m_piece;
};
