// CWebSvrOp: one HTTP/SOAP 1.1 exchange with the signature service, cut into
// six stages so a dialog can run it one stage per window message while it
// shows each stage's text and the upload's progress (or run it whole in one
// call). The derived operation builds the request (PrepareData) and reads
// the result (ParseResponse); this class posts it over the process's one
// HTTP connection, reads the response into memory or a file (or, for a
// large answer nobody needs whole, into a scan that lifts its documents out
// as it comes), checks the envelope for a fault and keeps the XML trace.
//
// Run with a window, what waits on the network (connecting, sending, the
// wait for the answer, reading it) runs as a job on a thread of its own
// (CWireJob), so the window never waits on the service: the stage then ends
// by posting its own number (now and then while bytes move, and as a
// heartbeat while the service keeps silent), and the next Run of that stage
// goes on once the job has ended. Everything else, the operation's own
// reading and writing included, stays on the window's thread.
#pragma once

#include <functional>
#include <memory>
#include <vector>
#include <windows.h>

#include "classlib/inet/CInternetSession.h"
#include "classlib/strings/CObject.h"
#include "classlib/strings/CString.h"
#include "classlib/win32/CFile.h"
#include "classlib/win32/Handles.h"
#include "shared/log/XmlTrace.h"
#include "shared/service/WireJob.h"
#include "shared/service/WireLimits.h"

class CXMLDoc;

class CWebSvrOp : public CObject {
public:
    enum Stage { kPrepare = 0, kOpen = 1, kSend = 2, kStatus = 3, kRead = 4, kDone = 5 };

    // The request file is sent, and the answer read, in pieces of up to
    // these: each write and read is a round trip through the network layer.
    static constexpr UINT kSendPiece = 256 * 1024;
    static constexpr UINT kReceivePiece = 64 * 1024;
    static constexpr HRESULT kConnectionFailed = static_cast<HRESULT>(0x80040205);
    // An exchange given up for the wire's sake (the error text says which
    // limit): silence or a pace too slow (ERROR_INTERNET_TIMEOUT), an answer
    // larger than the operation takes (ERROR_FILE_TOO_LARGE), one shorter
    // than it announced (ERROR_INTERNET_CONNECTION_ABORTED). A redirection
    // is a status that is not read (RPC_E_SERVERFAULT), with its own text.
    static constexpr HRESULT kAnswerTimedOut = static_cast<HRESULT>(0x80072EE2);
    static constexpr HRESULT kAnswerTooLarge = static_cast<HRESULT>(0x800700DF);
    static constexpr HRESULT kAnswerCutShort = static_cast<HRESULT>(0x80072EFE);

    explicit CWebSvrOp(const char* serviceUrl);
    ~CWebSvrOp() override;

    // Runs one stage. With a window the stage ends by posting message to it
    // (wParam: the next stage, or this one again while its job goes on);
    // without one the stages follow each other in this call. Non-zero for
    // success; on failure nothing is posted and the error code and text say
    // why.
    int Run(HWND window, UINT message, int stage);

    // Makes a new "Quill" file in the temporary folder; a format with "%"
    // receives the bare name, any other replaces ".tmp" (and the made file
    // is removed again). 1, or 0 on failure.
    int MakeTempFileName(const char* format);
    // The response goes to a new temporary file.
    int PrepRxFile();
    // The request body is written to (and later sent from) a new temporary
    // file; returns its handle, or null.
    HANDLE PrepTxFile(const char* extension);
    void AddHeader(const char* name, const char* value, bool quoted);
    // 1 when the response is a SOAP fault or unusable.
    int ParseSoapFault();
    // Closes and deletes the request file and frees the send buffer.
    void ReleaseUpload();

    // The server name and object path of a URL become the process's.
    static void SplitUrl(const char* url);

    const char* GetStageText(int stage) const;
    const CString& GetOpKind() const { return m_opKind; }
    HRESULT GetErrorCode() const { return m_errorCode; }
    const CString& GetErrorText() const { return m_errorText; }
    const CString& GetFaultCode() const { return m_faultCode; }
    DWORD GetUploadSize() const { return m_uploadSize; }
    // So far, also while a job moves them.
    DWORD GetBytesSent() const;
    int GetBytesReceived() const;
    const CString& GetResponseText() const { return m_responseText; }
    const CString& GetResponseFilePath() const { return m_responseFilePath; }
    const CString& GetFullUrl() const { return m_fullUrl; }
    // Closes the open request (the runner does it between operations, and
    // to give an exchange up): a job still waiting is abandoned, and nothing
    // it does later reaches the window.
    void CloseRequest();
    // Whether a job of the running stage still waits on the network.
    bool IsWaiting() const { return m_job != nullptr; }
    // The window that owns the dialogs of the exchange (a proxy's request
    // for credentials), null for none at all; unless set, the window the
    // stages run for.
    void SetOwner(HWND owner)
    {
        m_owner = owner;
        m_ownerSet = true;
    }
    // The limits the exchange keeps to: those of the operation's method,
    // unless set otherwise before the run (tests shorten them).
    const CWireLimits& GetWireLimits() const { return m_limits; }
    void SetWireLimits(const CWireLimits& limits) { m_limits = limits; }

protected:
    // Names the operation: its kind, its six stage texts and the service
    // method it calls (the SOAPAction, and the envelope paths of the
    // service's answers, which use the "soap" prefix).
    void Describe(const char* opKind, const char* method, const char* const (&stageTexts)[6]);

    // Only S_OK counts as found: the readers' "not found" (S_FALSE) becomes
    // E_FAIL, so no caller takes a missing answer for success.
    static HRESULT OkOrFailure(HRESULT hr)
    {
        return hr == S_OK ? S_OK : (FAILED(hr) ? hr : E_FAIL);
    }

    // Builds the request; non-zero for success.
    virtual int PrepareData() = 0;
    // Reads the result after the envelope check; non-zero for success.
    virtual int ParseResponse() = 0;
    // Elements of an answer read without the envelope check whose texts a
    // scan lifts as the answer comes in (see LargeTextScanner.h), so that a
    // large answer is read once and never written whole; none here.
    virtual std::vector<LargeElement> AnswerLargeElements() const { return {}; }
    // That scan, once the answer is in; null when the answer went to the
    // response file (the trace wanted it whole, or the scan could not start).
    CLargeTextScanner* ScannedAnswer() const { return m_scan.get(); }

    const char* m_stageText[6] = {};
    CString m_opKind = "Unknown";
    CString m_responseText;
    CString m_requestBody;
    CString m_requestHeaders;
    CString m_soapAction;
    CString m_verb = "POST";
    CString m_contentType = "text/xml; charset=utf-8";
    int m_bodyFromFile = 0;
    CString m_requestFilePath;
    CFileHandle m_requestFile;
    int m_noSoapCheck = 0;
    CXmlTrace m_trace; // every request and response, when the setting asks
    DWORD m_uploadSize = 0;
    DWORD m_bytesSent = 0;
    std::unique_ptr<CHttpFile> m_request;
    int m_bytesReceived = 0;
    CFile m_uploadFile; // the request file, from the open stage until it is sent
    CString m_responseFilePath;
    CString m_tempFileName;
    CString m_tempFolder;
    CString m_faultCode;
    CString m_errorText;
    HRESULT m_errorCode = 0;
    std::unique_ptr<CXMLDoc> m_responseDoc;
    CString m_soapBodyPath = "/SOAP-ENV:Envelope/SOAP-ENV:Body";
    CString m_soapFaultNode = "SOAP-ENV:Fault";
    CString m_fullUrl;

private:
    static constexpr ULONGLONG kUnknownLength = ~0ull;

    // What a stage does once its job has ended (the job's outcome in hand).
    using AfterJob = std::function<int(CWireJob&)>;

    // Closes and removes what a run left: request, files, job, errors.
    void ForgetLastRun();
    int RunStage(HWND window, UINT message, int stage);
    int Prepare(HWND window, UINT message);
    int Open(HWND window, UINT message);
    int Send(HWND window, UINT message);
    int Status(HWND window, UINT message);
    int TakeStatus(HWND window, UINT message, bool challenged);
    int Read(HWND window, UINT message);
    // A job for this operation's request, its counts where the run stands.
    std::shared_ptr<CWireJob> NewJob();
    // Runs work, which waits on the network, with the request lent to it:
    // with a window as a job of its own (the stage's next Run takes it up),
    // without one here and now; then the rest of the stage.
    int Await(HWND window, UINT message, std::shared_ptr<CWireJob> job, CWireJob::Work work,
              AfterJob then);
    // Takes the request back and the outcome up: a WinINet failure is
    // thrown again here, a failure of the job's own ends the run.
    int Conclude(CWireJob& job, const AfterJob& then);
    void AbandonJob();
    // While a read waits, the answer's pace: false (the job given up, the
    // run failed) when it has come too slowly.
    bool WatchPace(CWireJob& job);
    // Sends the request (again, after a proxy challenge) with its body.
    int SendWhole(HWND window, UINT message, AfterJob then);
    int FinishResponse();
    // A proxy's challenge that was not met: the run fails and says so.
    int RefuseProxy();
    HWND DialogOwner(HWND window) const;
    // A redirection is reported, never followed: a SOAP request sent on
    // elsewhere would lose its body and keep its SOAPAction.
    int RefuseRedirection(DWORD status);
    // Takes the announced length; false when it is more than is taken.
    bool AcceptAnswerLength();
    // Ends the run for the wire's sake, with nothing of the answer kept.
    int FailAnswer(HRESULT code, const CString& text);
    void AbandonResponse();
    // Whether a WinINet failure was a wait that ran out.
    bool WasSilence(DWORD error) const;
    void Post(HWND window, UINT message, int stage) const;

    CWireLimits m_limits; // those of any method until Describe names one
    HWND m_owner = nullptr;
    bool m_ownerSet = false;
    int m_runningStage = kPrepare;
    ULONGLONG m_stageStart = 0;                // when the running stage (or its job) began
    ULONGLONG m_stageEnd = 0;                  // when its job ended; 0 while none has
    std::shared_ptr<CWireJob> m_job;           // the running stage's wait on the network
    std::shared_ptr<CLargeTextScanner> m_scan; // the answer's, as it comes
    AfterJob m_afterJob;                       // and what the stage does after it
    bool m_watchPace = false;                  // the job reads the answer
    ULONGLONG m_answerStart = 0;               // when the answer's status came
    ULONGLONG m_answerLength = kUnknownLength; // as announced by Content-Length
};
