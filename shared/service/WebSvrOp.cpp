#include "shared/service/WebSvrOp.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

#include "classlib/com/CComPtr.h"
#include "classlib/strings/LoadText.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/requests/FileMgr.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/service/SoapEnvelope.h"
#include "shared/SharedResource.h"
#include "shared/xml/XMLDoc.h"

namespace {

// A SOAP call is a POST that never follows a redirection (WinINet would
// repeat it as a GET, without its body, to wherever it was sent).
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT |
                                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_NO_AUTO_REDIRECT;

CString ConnectionFailedText()
{
    return LoadText(IDS_CONNECTION_EXCEPTION,
                    "An internal exception has occurred.  Your connection to the remote "
                    "service has failed.  Please contact Technical Support.");
}

// A file a job holds while it waits on the network (the request it sends,
// the answer it writes): whoever gives the exchange up deletes it then and
// there, and the name goes when the job lets go, at the latest when the
// process ends. A program that ends without waiting for its job leaves
// neither a request (a whole document in base64) nor half an answer.
HANDLE OpenForJob(const char* path, DWORD access, DWORD disposition)
{
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool IsReadableStatus(DWORD status)
{
    return status == 200 || status == 201 || status == 400 || status == 500;
}

// One of the texts of a wire failure, with its values; every deliverable
// carries the texts, so the fallback only keeps a module without them
// from saying nothing.
CString WireText(UINT id, const std::string& first, const std::string& second = {})
{
    const CString format = LoadText(id, "The exchange with the signature service was given up.");
    CString text;
    text.Format(format, first.c_str(), second.c_str());
    return text;
}

// The text of a failed secure connection, 0 for any other failure: the
// user can do something about each (trust, address, clock), which the
// general connection failure would not tell them.
UINT SecureFailureText(DWORD error)
{
    switch (error) {
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
        return IDS_WIRE_UNTRUSTED;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        return IDS_WIRE_WRONG_NAME;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        return IDS_WIRE_CERTIFICATE_DATE;
    case ERROR_INTERNET_SEC_CERT_REVOKED:
        return IDS_WIRE_REVOKED;
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
        return IDS_WIRE_REVOCATION_UNCHECKED;
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
        return IDS_WIRE_TLS_FAILED;
    default:
        return 0;
    }
}

std::string Seconds(ULONGLONG milliseconds)
{
    return std::to_string((milliseconds + 500) / 1000);
}

// A value the service sent, made fit to show: printable and not too long.
std::string Shown(const CString& value)
{
    constexpr size_t kMost = 200;
    std::string text;
    for (const char* at = value; *at && text.size() < kMost; ++at)
        text += static_cast<unsigned char>(*at) < 0x20 ? '?' : *at;
    if (std::strlen(value) > kMost)
        text += "...";
    return text;
}

// Decimal digits only, blanks around them allowed; false for anything
// else. A number too big for 64 bits reads as the largest there is.
bool ParseLength(const CString& text, ULONGLONG& length)
{
    const char* at = text;
    while (*at == ' ' || *at == '\t')
        ++at;
    if (*at < '0' || *at > '9')
        return false;
    ULONGLONG value = 0;
    for (; *at >= '0' && *at <= '9'; ++at) {
        const unsigned digit = static_cast<unsigned>(*at - '0');
        value = value > (~0ull - digit) / 10 ? ~0ull : value * 10 + digit;
    }
    while (*at == ' ' || *at == '\t')
        ++at;
    if (*at)
        return false;
    length = value;
    return true;
}

// Sends the rest of the request file that the job holds, in pieces, each
// traced as it goes. Ends early when the job is given up.
void SendBody(CWireJob& job, const CXmlTrace& trace)
{
    std::unique_ptr<char[]> piece(new char[CWebSvrOp::kSendPiece + 1]);
    for (;;) {
        if (job.Abandoned())
            return;
        DWORD read = 0;
        if (!ReadFile(job.file.Get(), piece.get(), CWebSvrOp::kSendPiece, &read, nullptr) ||
            read == 0)
            return;
        piece[read] = '\0';
        trace.AppendText(piece.get());
        job.request->Write(piece.get(), read);
        job.sent += read;
        job.ReportProgress();
    }
}

// Reads what is left of an answer that is not wanted (a proxy's challenge)
// before its request is sent again: the connection can carry the next
// request only once the last answer has been read off it. Bounded, so a
// challenge that never ends costs a new connection rather than the wait.
void DrainAnswer(CWireJob& job, ULONGLONG mostBytes)
{
    std::unique_ptr<char[]> piece(new char[CWebSvrOp::kReceivePiece]);
    for (ULONGLONG drained = 0; drained < mostBytes && !job.Abandoned();) {
        const UINT read = job.request->Read(piece.get(), CWebSvrOp::kReceivePiece);
        if (read == 0)
            return;
        drained += read;
    }
}

// True, with the failure's text, when this many bytes of the answer have
// come too slowly.
bool TooSlow(const CWireLimits& limits, ULONGLONG answerStart, ULONGLONG received, CString& text)
{
    const ULONGLONG elapsed = GetTickCount64() - answerStart;
    if (elapsed <= limits.AnswerAllowanceMs(received))
        return false;
    text = WireText(IDS_WIRE_TOO_SLOW, std::to_string(received), Seconds(elapsed));
    return true;
}

// False (the job failed, with nothing of the answer kept) when this many
// bytes are more than the answer may hold, or came too slowly.
bool AnswerWithinLimits(CWireJob& job, const CWireLimits& limits, ULONGLONG answerStart,
                        ULONGLONG received)
{
    CString text;
    HRESULT code = S_OK;
    if (received > limits.maxAnswerBytes) {
        code = CWebSvrOp::kAnswerTooLarge;
        text = WireText(IDS_WIRE_TOO_LARGE, std::to_string(limits.maxAnswerBytes));
    } else if (TooSlow(limits, answerStart, received, text)) {
        code = CWebSvrOp::kAnswerTimedOut;
    } else {
        return true;
    }
    job.result = 0;
    job.code = code;
    job.errorText = text;
    // The connection goes with the request: what the service still sends
    // is not read.
    job.request.reset();
    job.file.Reset();
    return false;
}

// An answer that has come this fast for this long is read in whole pieces.
constexpr ULONGLONG kSwiftAfterBytes = 256 * 1024;
constexpr ULONGLONG kSwiftBytesPerSecond = 4 * 1024 * 1024;

// A job's failure to keep what it read: the disk (or the scan) took no more.
void FailKeeping(CWireJob& job, HRESULT code)
{
    job.result = 0;
    job.code = FAILED(code) ? code : E_FAIL;
}

static_assert(CLargeTextScanner::PieceSize() >= CWebSvrOp::kReceivePiece,
              "a piece of the answer fits the scan's room");

// Reads the answer into the job's file, its scan or its text, piece by piece with
// what has arrived, so that the answer's size and pace are checked between
// pieces: WinINet's own read waits until its whole buffer is full, which a
// trickle makes forever. Once the answer has come swiftly for a while, the
// pieces are read whole, as WinINet reads best (under Wine the wait for what
// has arrived takes in 8 KB at the most, each time a round trip through the
// network layer); should the service then slow to a trickle, whoever waits
// for the job keeps the pace limit meanwhile (CWebSvrOp::WatchPace).
void ReadAnswer(CWireJob& job, const CWireLimits& limits, ULONGLONG answerStart)
{
    // A scan's stream ends with the read, complete only when the answer is.
    // The job then lets the scan go: what it made is the operation's, to
    // keep or delete (a job given up was its last holder).
    struct StreamEnd {
        CWireJob& job;
        bool complete = false;
        ~StreamEnd()
        {
            if (!job.scan)
                return;
            const HRESULT hr = job.scan->EndStream(complete);
            if (complete && FAILED(hr)) {
                TheLog().HResult("CWebSvrOp::Run: the answer's scan", hr);
                FailKeeping(job, hr);
            }
            job.scan.reset();
        }
    } streamEnd{job};
    std::unique_ptr<char[]> piece;
    if (!job.scan)
        piece.reset(new char[CWebSvrOp::kReceivePiece]);
    ULONGLONG received = job.received;
    for (;;) {
        if (job.Abandoned())
            return;
        char* into = piece.get();
        if (job.scan && !(into = reinterpret_cast<char*>(job.scan->Room()))) {
            // The scan has stopped: it says why as its stream ends.
            streamEnd.complete = true;
            return;
        }
        const ULONGLONG elapsed = GetTickCount64() - answerStart;
        const bool swift = received >= kSwiftAfterBytes &&
                           received * 1000 >= kSwiftBytesPerSecond * (elapsed ? elapsed : 1);
        job.wholePieces = swift;
        UINT read = 0;
        if (swift) {
            read = job.request->Read(into, CWebSvrOp::kReceivePiece);
        } else {
            const DWORD available = job.request->QueryDataAvailable();
            if (available == 0) {
                streamEnd.complete = true;
                return;
            }
            read = job.request->Read(into, std::min<DWORD>(available, CWebSvrOp::kReceivePiece));
        }
        if (read == 0) {
            streamEnd.complete = true;
            return;
        }
        received += read;
        if (!AnswerWithinLimits(job, limits, answerStart, received))
            return;
        if (job.scan) {
            job.scan->Put(read);
        } else if (job.file) {
            DWORD written = 0;
            if (!WriteFile(job.file.Get(), into, read, &written, nullptr) || written != read) {
                // A disk that takes no more ends the run: half a response
                // would read as a broken one.
                FailKeeping(job, HRESULT_FROM_WIN32(GetLastError()));
                job.file.Reset();
                return;
            }
        } else {
            job.text += CString(into, static_cast<int>(read));
        }
        job.received = received;
        job.ReportProgress();
    }
}

} // namespace

CWebSvrOp::CWebSvrOp(const char* serviceUrl)
    : m_trace(CConfig().GetLogXML() == 1), m_fullUrl(serviceUrl)
{
    SplitUrl(m_fullUrl);
}

CWebSvrOp::~CWebSvrOp()
{
    ForgetLastRun();
}

void CWebSvrOp::Describe(const char* opKind, const char* method, const char* const (&stageTexts)[6])
{
    m_opKind = opKind;
    std::copy(std::begin(stageTexts), std::end(stageTexts), m_stageText);
    m_soapAction = SoapActionOf(method);
    m_limits = CWireLimits::ForMethod(method);
    m_soapBodyPath = "/soap:Envelope/soap:Body";
    m_soapFaultNode = "soap:Fault";
}

const char* CWebSvrOp::GetStageText(int stage) const
{
    return stage >= 0 && stage <= kDone && m_stageText[stage] ? m_stageText[stage] : "";
}

void CWebSvrOp::SplitUrl(const char* url)
{
    CString rest(url);
    int slashes = rest.Find("//");
    if (slashes >= 0)
        rest = rest.Mid(slashes + 2);
    int slash = rest.Find('/');
    CServiceGlobals& globals = ServiceGlobals();
    if (slash < 0) {
        globals.serverName = rest;
        globals.objectPath.Empty();
    } else {
        globals.serverName = rest.Left(slash);
        globals.objectPath = rest.Mid(slash);
    }
}

int CWebSvrOp::MakeTempFileName(const char* format)
{
    CFileMgr names(m_tempFolder);
    if (!names.MakeTempName(format))
        return 0;
    m_tempFolder = names.GetFolder();
    m_tempFileName = names.GetFilePath();
    return 1;
}

int CWebSvrOp::PrepRxFile()
{
    if (!MakeTempFileName(nullptr))
        return 0;
    m_responseFilePath = m_tempFileName;
    return 1;
}

HANDLE CWebSvrOp::PrepTxFile(const char* extension)
{
    // A request file is always a new one: opened over a stale file, its old
    // tail would travel with the request.
    HANDLE file = INVALID_HANDLE_VALUE;
    if (extension) {
        file = CreateNewTempFile(m_tempFolder, extension, m_tempFileName);
    } else if (MakeTempFileName(nullptr)) {
        // The system has just made this (empty) file for us.
        file = CreateFileA(m_tempFileName, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    m_requestFile.Reset(file);
    m_bodyFromFile = 1;
    m_requestBody = m_tempFileName;
    m_requestFilePath = m_tempFileName;
    return file;
}

void CWebSvrOp::AddHeader(const char* name, const char* value, bool quoted)
{
    if (!name || !value) {
        m_requestHeaders += "\r\n";
        return;
    }
    if (!m_requestHeaders.IsEmpty())
        m_requestHeaders += "\n";
    if (quoted)
        m_requestHeaders.AppendFormat("%s: \"%s\"", name, value);
    else
        m_requestHeaders.AppendFormat("%s: %s", name, value);
}

void CWebSvrOp::ReleaseUpload()
{
    m_requestFile.Reset();
    if (m_bodyFromFile) {
        m_uploadFile.Close();
        if (!m_requestFilePath.IsEmpty())
            DeleteFileA(m_requestFilePath);
    }
}

int CWebSvrOp::ParseSoapFault()
{
    m_responseDoc = std::make_unique<CXMLDoc>();
    const HRESULT loaded = m_responseFilePath.IsEmpty()
                               ? m_responseDoc->LoadString(m_responseText)
                               : m_responseDoc->LoadFile(m_responseFilePath);
    // An unreadable answer is a failure even with no text to show for it.
    if (loaded != S_OK) {
        if (SUCCEEDED(m_errorCode))
            m_errorCode = FAILED(loaded) ? loaded : E_FAIL;
        return 1;
    }
    if (!m_soapAction.IsEmpty() && m_responseDoc->GotoNode(m_soapBodyPath) != S_OK) {
        m_faultCode = "Malformed SOAP";
        m_errorText = "Malformed SOAP";
        m_errorCode = E_FAIL;
        return 1;
    }
    if (!m_soapFaultNode.IsEmpty()) {
        CComPtr<IXMLDOMNode> fault;
        if (m_responseDoc->GotoNode(m_soapFaultNode, fault) == S_OK && fault) {
            CXMLDoc& document = *m_responseDoc;
            (void)document.GotoNode(m_soapFaultNode);
            (void)document.GetSingleNodeValue("faultstring", m_errorText);
            (void)document.GetSingleNodeValue("faultcode", m_faultCode);
            m_errorCode = E_FAIL;
            return 1;
        }
    }
    return 0;
}

void CWebSvrOp::Post(HWND window, UINT message, int stage) const
{
    if (window)
        PostMessageA(window, message, static_cast<WPARAM>(stage), 0);
}

int CWebSvrOp::Run(HWND window, UINT message, int stage)
{
    int result = 0;
    try {
        if (window && m_job) {
            // A report of the job that waits on the network: it goes on
            // (another report will come), or its stage is taken up again.
            if (!m_job->TakeReport())
                return WatchPace(*m_job) ? 1 : 0;
            const std::shared_ptr<CWireJob> job = std::move(m_job);
            const AfterJob then = std::move(m_afterJob);
            m_afterJob = nullptr;
            result = Conclude(*job, then);
        } else if (window) {
            result = RunStage(window, message, stage);
        } else {
            for (int next = stage; next <= kDone; ++next) {
                result = RunStage(nullptr, 0, next);
                if (!result)
                    break;
            }
        }
    } catch (const CInternetException& failure) {
        TheLog().CommentFormatInt("CWebSvrOp::Run: internet error %lu",
                                  static_cast<long>(failure.m_dwError));
        // A broken exchange keeps nothing: no request file, no part of an
        // answer.
        ReleaseUpload();
        AbandonResponse();
        if (WasSilence(failure.m_dwError)) {
            m_errorCode = kAnswerTimedOut;
            m_errorText = WireText(IDS_WIRE_SILENT, Seconds(m_limits.silenceMs));
        } else if (const UINT secure = SecureFailureText(failure.m_dwError)) {
            m_errorCode = HRESULT_FROM_WIN32(failure.m_dwError);
            m_errorText = WireText(secure, ServiceGlobals().serverName.str());
        } else {
            m_errorCode = kConnectionFailed;
            m_errorText = ConnectionFailedText();
        }
        result = 0;
    } catch (const std::bad_alloc&) {
        TheLog().Error("CWebSvrOp::Run: out of memory");
        m_errorCode = E_OUTOFMEMORY;
        result = 0;
    } catch (...) {
        TheLog().Error("Caught Exception: CWebSvrOp::Run");
        result = 0;
    }
    // A failed run always carries a failing code, so no caller can take it
    // for a success.
    if (!result && SUCCEEDED(m_errorCode))
        m_errorCode = E_FAIL;
    if (!result)
        AbandonJob();
    if (!window)
        m_request.reset();
    return result;
}

int CWebSvrOp::RunStage(HWND window, UINT message, int stage)
{
    m_runningStage = stage;
    m_stageStart = GetTickCount64();
    m_stageEnd = 0;
    switch (stage) {
    case kPrepare:
        return Prepare(window, message);
    case kOpen:
        return Open(window, message);
    case kSend:
        return Send(window, message);
    case kStatus:
        return Status(window, message);
    case kRead:
        return Read(window, message);
    case kDone:
        return 1;
    default:
        return 0;
    }
}

DWORD CWebSvrOp::GetBytesSent() const
{
    return m_job ? static_cast<DWORD>(m_job->sent.load()) : m_bytesSent;
}

int CWebSvrOp::GetBytesReceived() const
{
    return m_job ? static_cast<int>(m_job->received.load()) : m_bytesReceived;
}

void CWebSvrOp::CloseRequest()
{
    AbandonJob();
    m_request.reset();
}

void CWebSvrOp::AbandonJob()
{
    m_watchPace = false;
    if (!m_job)
        return;
    m_job->Abandon();
    m_job.reset();
    m_afterJob = nullptr;
}

std::shared_ptr<CWireJob> CWebSvrOp::NewJob()
{
    auto job = std::make_shared<CWireJob>();
    job->sent = m_bytesSent;
    job->received = static_cast<ULONGLONG>(m_bytesReceived);
    return job;
}

int CWebSvrOp::Await(HWND window, UINT message, std::shared_ptr<CWireJob> job, CWireJob::Work work,
                     AfterJob then)
{
    job->request = std::move(m_request);
    if (!window && m_watchPace) {
        // A read that may wait for whole pieces runs apart even here, so
        // that its pace is kept while it waits.
        CWireJob::Start(job, nullptr, 0, m_runningStage, std::move(work));
        while (!job->WaitFinished(CWireJob::kHeartbeatMs)) {
            if (!WatchPace(*job))
                return 0;
        }
        return Conclude(*job, then);
    }
    if (!window) {
        job->RunHere(work);
        return Conclude(*job, then);
    }
    m_job = job;
    m_afterJob = std::move(then);
    CWireJob::Start(job, window, message, m_runningStage, std::move(work));
    return 1;
}

bool CWebSvrOp::WatchPace(CWireJob& job)
{
    // Reading what has arrived, the job keeps the pace itself, at each
    // piece (and it removes the answer's file as it fails).
    CString text;
    if (!m_watchPace || !job.wholePieces || !TooSlow(m_limits, m_answerStart, job.received, text))
        return true;
    // The job is given up where it waits; it removes the answer's file
    // when its wait ends.
    job.Abandon();
    if (m_job.get() == &job)
        AbandonJob();
    m_watchPace = false;
    FailAnswer(kAnswerTimedOut, text);
    return false;
}

int CWebSvrOp::Conclude(CWireJob& job, const AfterJob& then)
{
    m_watchPace = false;
    m_request = std::move(job.request);
    m_stageStart = job.startedAt;
    m_stageEnd = job.endedAt;
    m_bytesSent = static_cast<DWORD>(job.sent.load());
    m_bytesReceived = static_cast<int>(job.received.load());
    if (job.threw) {
        job.file.Reset();
        throw CInternetException(job.internetError, kInternetContext);
    }
    if (!job.result) {
        job.file.Reset();
        if (!job.errorText.IsEmpty())
            return FailAnswer(job.code, job.errorText);
        if (FAILED(job.code))
            m_errorCode = job.code;
        AbandonResponse();
        return 0;
    }
    return then(job);
}

void CWebSvrOp::ForgetLastRun()
{
    AbandonJob();
    m_request.reset();
    m_responseDoc.reset();
    m_scan.reset();
    ReleaseUpload();
    if (!m_responseFilePath.IsEmpty())
        DeleteFileA(m_responseFilePath);
    m_responseFilePath.Empty();
    m_responseText.Empty();
    m_bodyFromFile = 0;
    m_requestFilePath.Empty();
    m_uploadSize = 0;
    m_bytesSent = 0;
    m_bytesReceived = 0;
    m_answerLength = kUnknownLength;
    m_faultCode.Empty();
    m_errorText.Empty();
    m_errorCode = 0;
}

int CWebSvrOp::Prepare(HWND window, UINT message)
{
    // An operation run again (a login tried once more) starts clean: no
    // error of the last try, no file of it left behind.
    ForgetLastRun();
    TheLog().CommentFormat("CWebSvrOp::Run: Preparing Data for %s", m_opKind);
    if (!PrepareData()) {
        TheLog().Comment("PrepareData failed!");
        TheLog().CommentFormat("Op kind is %s", m_opKind);
        if (SUCCEEDED(m_errorCode))
            m_errorCode = E_FAIL;
        return 0;
    }
    SplitUrl(m_fullUrl);
    Post(window, message, kOpen);
    return 1;
}

int CWebSvrOp::Open(HWND window, UINT message)
{
    m_requestHeaders.Empty();
    AddHeader("Content-Type", m_contentType, false);
    if (!m_soapAction.IsEmpty())
        AddHeader("SOAPAction", m_soapAction, true);
    m_requestHeaders += "\r\n";

    const CServiceGlobals& globals = ServiceGlobals();
    TheLog().Comment("CWebSvrOp::Run: OpenRequest");
    TheLog().CommentFormat("Verb: %s", m_verb);
    TheLog().CommentFormat("URL: %s", globals.objectPath);
    TheLog().CommentFormat("Full URL: %s", m_fullUrl);

    DWORD flags = kRequestFlags;
    CConfig config;
    if (config.GetPort() == INTERNET_DEFAULT_HTTPS_PORT && m_verb != "GET")
        flags |= INTERNET_FLAG_SECURE;
    const char* acceptTypes[] = {"text/xml", nullptr};
    if (globals.connection)
        m_request = globals.connection->OpenRequest(
            m_verb, globals.objectPath, "", kInternetContext, acceptTypes, "HTTP/1.1", flags);
    if (!m_request) {
        TheLog().Comment("CWebSvrOp::Run: OpenRequest FAILED");
        return 0;
    }
    ApplySilenceLimit(m_request->GetHandle(), m_limits.silenceMs);

    if (!m_bodyFromFile) {
        Post(window, message, kSend);
        return 1;
    }
    WIN32_FILE_ATTRIBUTE_DATA status;
    if (!GetFileAttributesExA(m_requestFilePath, GetFileExInfoStandard, &status))
        return 0;
    m_uploadSize = status.nFileSizeLow;
    if (!m_request->AddRequestHeaders(m_requestHeaders, HTTP_ADDREQ_FLAG_ADD_IF_NEW)) {
        TheLog().Comment("CWebSvrOp::Run: AddRequestHeaders FAILED");
        return 0;
    }
    // Connecting and sending the head wait on the network.
    const DWORD size = m_uploadSize;
    return Await(
        window, message, NewJob(),
        [size](CWireJob& job) {
            if (!job.request->SendRequestEx(size, HSR_INITIATE, kInternetContext)) {
                TheLog().Comment("CWebSvrOp::Run: SendRequestEx FAILED");
                job.result = 0;
            }
        },
        [this, window, message](CWireJob&) {
            if (!m_uploadFile.Open(m_requestFilePath, CFile::modeRead | CFile::shareDenyWrite))
                return 0;
            Post(window, message, kSend);
            return 1;
        });
}

int CWebSvrOp::Send(HWND window, UINT message)
{
    if (m_bodyFromFile) {
        // The job reads the request file itself; the pieces it sends are
        // reported as it goes, so the dialog shows the upload's progress.
        auto job = NewJob();
        // A handle of the job's own, which lets whoever gives the exchange
        // up delete the file meanwhile.
        m_uploadFile.Close();
        job->file.Reset(OpenForJob(m_requestFilePath, GENERIC_READ, OPEN_EXISTING));
        if (!job->file) {
            TheLog().Error("CWebSvrOp::Run: the request file cannot be read");
            return 0;
        }
        job->filePath = m_requestFilePath;
        const CXmlTrace trace = m_trace;
        return Await(
            window, message, job, [trace](CWireJob& wire) { SendBody(wire, trace); },
            [this, window, message](CWireJob&) {
                Post(window, message, kStatus);
                return 1;
            });
    }
    m_trace.AppendText(m_requestBody);
    // The service's answer is waited for inside the send.
    const CString headers = m_requestHeaders;
    const CString body = m_requestBody;
    return Await(
        window, message, NewJob(),
        [headers, body](CWireJob& job) {
            if (!job.request->SendRequest(headers, headers.GetLength(), body.GetString(),
                                          body.GetLength()))
                job.result = 0;
        },
        [this, window, message](CWireJob&) {
            Post(window, message, kStatus);
            return 1;
        });
}

int CWebSvrOp::SendWhole(HWND window, UINT message, AfterJob then)
{
    const ULONGLONG mostBytes = m_limits.maxAnswerBytes;
    if (!m_bodyFromFile) {
        m_trace.AppendText(m_requestBody);
        const CString headers = m_requestHeaders;
        const CString body = m_requestBody;
        return Await(
            window, message, NewJob(),
            [headers, body, mostBytes](CWireJob& job) {
                DrainAnswer(job, mostBytes);
                job.request->SendRequest(headers, headers.GetLength(), body.GetString(),
                                         body.GetLength());
            },
            std::move(then));
    }
    // The request file is still there: it is streamed once more.
    auto job = NewJob();
    job->sent = 0;
    job->file.Reset(OpenForJob(m_requestFilePath, GENERIC_READ, OPEN_EXISTING));
    if (!job->file)
        return then(*job);
    job->filePath = m_requestFilePath;
    const CXmlTrace trace = m_trace;
    const DWORD size = m_uploadSize;
    return Await(
        window, message, job,
        [trace, size, mostBytes](CWireJob& wire) {
            DrainAnswer(wire, mostBytes);
            wire.request->SendRequestEx(size, HSR_INITIATE, kInternetContext);
            SendBody(wire, trace);
            wire.file.Reset();
            wire.request->EndRequest(0, kInternetContext);
        },
        std::move(then));
}

int CWebSvrOp::Status(HWND window, UINT message)
{
    if (!m_bodyFromFile)
        return TakeStatus(window, message, false);
    m_uploadFile.Close();
    // The answer's head is waited for as the request ends.
    return Await(
        window, message, NewJob(),
        [](CWireJob& job) { job.request->EndRequest(0, kInternetContext); },
        [this, window, message](CWireJob&) { return TakeStatus(window, message, false); });
}

int CWebSvrOp::TakeStatus(HWND window, UINT message, bool challenged)
{
    DWORD status = 0;
    m_request->QueryInfoStatusCode(status);
    if (!challenged) {
        TheLog().Comment("CWebSvrOp::Run: QueryInfoStatusCode");
        TheLog().CommentFormatInt("HTTP Status Code = %lu", static_cast<long>(status));
        TheLog().CommentFormat("OpKind: %s", m_opKind);
        if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
            // The proxy's dialog belongs to the window the exchange runs
            // for, so that window waits for it; only credentials given in
            // it (a retry it asks for) send the request again.
            const DWORD answer = m_request->ErrorDlg(
                DialogOwner(window), ERROR_INTERNET_INCORRECT_PASSWORD,
                FLAGS_ERROR_UI_FLAGS_GENERATE_DATA | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS);
            TheLog().CommentFormatInt("CWebSvrOp::Run: proxy dialog answered %lu",
                                      static_cast<long>(answer));
            if (answer != ERROR_INTERNET_FORCE_RETRY)
                return RefuseProxy();
            return SendWhole(window, message, [this, window, message](CWireJob&) {
                return TakeStatus(window, message, true);
            });
        }
    } else {
        TheLog().CommentFormatInt("HTTP Status Code = %lu", static_cast<long>(status));
        if (status == HTTP_STATUS_PROXY_AUTH_REQ)
            return RefuseProxy();
    }
    if (m_bodyFromFile)
        ReleaseUpload();

    // No status at all: the answer's head never came (WinINet under Wine
    // can end the request without a failure when its wait runs out).
    if (status == 0)
        throw CInternetException(ERROR_HTTP_HEADER_NOT_FOUND, kInternetContext);
    if (status >= 300 && status < 400)
        return RefuseRedirection(status);
    if (!IsReadableStatus(status)) {
        m_errorCode = RPC_E_SERVERFAULT;
        return 0;
    }
    if (!AcceptAnswerLength())
        return 0;
    m_bytesReceived = 0;
    m_answerStart = GetTickCount64();
    Post(window, message, kRead);
    return 1;
}

int CWebSvrOp::RefuseProxy()
{
    if (m_bodyFromFile)
        ReleaseUpload();
    return FailAnswer(RPC_E_SERVERFAULT,
                      WireText(IDS_WIRE_PROXY_REFUSED, ServiceGlobals().serverName.str()));
}

HWND CWebSvrOp::DialogOwner(HWND window) const
{
    if (m_ownerSet)
        return m_owner;
    // A run in one call belongs to whatever window its caller made active;
    // with none, the proxy's dialog is not shown (never one of the desktop).
    return window ? window : GetActiveWindow();
}

int CWebSvrOp::RefuseRedirection(DWORD status)
{
    CString location;
    if (!m_request->QueryInfo(HTTP_QUERY_LOCATION, location))
        location = "(no address given)";
    TheLog().CommentFormat("CWebSvrOp::Run: redirection to %s not followed", location);
    return FailAnswer(RPC_E_SERVERFAULT,
                      WireText(IDS_WIRE_REDIRECTED, std::to_string(status), Shown(location)));
}

bool CWebSvrOp::AcceptAnswerLength()
{
    // No length (a chunked answer, or one ended by closing the connection)
    // leaves the limits to be kept while reading.
    m_answerLength = kUnknownLength;
    CString announced;
    ULONGLONG length = 0;
    if (m_request->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, announced) &&
        ParseLength(announced, length))
        m_answerLength = length;
    if (m_answerLength == kUnknownLength || m_answerLength <= m_limits.maxAnswerBytes)
        return true;
    FailAnswer(kAnswerTooLarge,
               WireText(IDS_WIRE_TOO_LARGE, std::to_string(m_limits.maxAnswerBytes)));
    return false;
}

int CWebSvrOp::FailAnswer(HRESULT code, const CString& text)
{
    TheLog().CommentFormat("CWebSvrOp::Run: %s", text);
    m_errorCode = code;
    m_errorText = text;
    AbandonResponse();
    return 0;
}

void CWebSvrOp::AbandonResponse()
{
    // The connection goes with the request: what the service still sends
    // is not read.
    m_request.reset();
    m_scan.reset();
    m_responseText.Empty();
    if (!m_responseFilePath.IsEmpty())
        DeleteFileA(m_responseFilePath);
}

bool CWebSvrOp::WasSilence(DWORD error) const
{
    if (error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT)
        return true;
    // Under Wine a wait for the answer's head that runs out is reported as
    // an aborted connection or a missing header; the time the stage took
    // tells it from a service that closed the connection at once. (The
    // head is waited for by the send of a request held as text, and after
    // an upload by the status stage.)
    const bool waitingForHead =
        m_runningStage == kStatus || (m_runningStage == kSend && !m_bodyFromFile);
    const bool noAnswer = error == ERROR_INTERNET_CONNECTION_ABORTED ||
                          error == ERROR_HTTP_HEADER_NOT_FOUND ||
                          error == ERROR_HTTP_INVALID_SERVER_RESPONSE;
    const ULONGLONG ended = m_stageEnd ? m_stageEnd : GetTickCount64();
    return waitingForHead && noAnswer && ended - m_stageStart >= m_limits.silenceMs / 10 * 9;
}

int CWebSvrOp::Read(HWND window, UINT message)
{
    m_responseText.Empty();
    auto job = NewJob();
    m_scan.reset();
    if (!m_responseFilePath.IsEmpty() && m_noSoapCheck && !m_trace.IsOn()) {
        // Nobody needs the answer whole: it is scanned as it comes.
        std::vector<LargeElement> large = AnswerLargeElements();
        if (!large.empty()) {
            auto scan = std::make_shared<CLargeTextScanner>(std::move(large));
            if (scan->BeginStream()) {
                job->scan = scan;
                m_scan = std::move(scan);
            }
        }
    }
    if (!m_responseFilePath.IsEmpty() && !job->scan) {
        // The system made this file a moment ago for this response.
        job->file.Reset(OpenForJob(m_responseFilePath, GENERIC_WRITE, CREATE_ALWAYS));
        if (!job->file) {
            TheLog().Error("CWebSvrOp::Run: the response file cannot be created");
            return 0;
        }
        job->filePath = m_responseFilePath;
    }
    const CWireLimits limits = m_limits;
    const ULONGLONG answerStart = m_answerStart;
    m_watchPace = true;
    return Await(
        window, message, job,
        [limits, answerStart](CWireJob& wire) { ReadAnswer(wire, limits, answerStart); },
        [this, window, message](CWireJob& wire) {
            wire.file.Reset();
            m_responseText = wire.text;
            // WinINet takes a connection closed early for the end of the answer.
            const ULONGLONG received = static_cast<ULONGLONG>(m_bytesReceived);
            if (m_answerLength != kUnknownLength && received != m_answerLength)
                return FailAnswer(kAnswerCutShort,
                                  WireText(IDS_WIRE_CUT_SHORT, std::to_string(received),
                                           std::to_string(m_answerLength)));
            const int result = FinishResponse();
            if (result)
                Post(window, message, kDone);
            return result;
        });
}

int CWebSvrOp::FinishResponse()
{
    if (m_responseFilePath.IsEmpty())
        m_trace.AppendText(m_responseText);
    else
        m_trace.AppendFile(m_responseFilePath);

    if (m_responseText.IsEmpty() && m_responseFilePath.IsEmpty())
        return 1;
    if (m_noSoapCheck || ParseSoapFault() == 0)
        return ParseResponse();
    return 0;
}
