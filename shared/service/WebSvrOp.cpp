#include "shared/service/WebSvrOp.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "classlib/com/CComPtr.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/requests/FileMgr.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/service/SoapEnvelope.h"
#include "shared/SharedResource.h"
#include "shared/xml/XMLDoc.h"

namespace {

constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT |
                                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;

CString ConnectionFailedText()
{
    CString text;
    if (!text.LoadString(IDS_CONNECTION_EXCEPTION))
        text = "An internal exception has occurred.  Your connection to the remote service has "
               "failed.  Please contact Technical Support.";
    return text;
}

bool IsReadableStatus(DWORD status)
{
    return status == 200 || status == 201 || status == 400 || status == 500;
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
    m_sendBuffer.reset();
    m_sendCapacity = 0;
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
        if (window) {
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
        m_errorCode = kConnectionFailed;
        m_errorText = ConnectionFailedText();
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
    if (!window)
        m_request.reset();
    return result;
}

int CWebSvrOp::RunStage(HWND window, UINT message, int stage)
{
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

void CWebSvrOp::ForgetLastRun()
{
    m_request.reset();
    m_responseDoc.reset();
    ReleaseUpload();
    m_receiveBuffer.reset();
    m_responseFile.Close();
    if (!m_responseFilePath.IsEmpty())
        DeleteFileA(m_responseFilePath);
    m_responseFilePath.Empty();
    m_responseText.Empty();
    m_bodyFromFile = 0;
    m_requestFilePath.Empty();
    m_uploadSize = 0;
    m_bytesSent = 0;
    m_bytesReceived = 0;
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

    if (m_bodyFromFile) {
        WIN32_FILE_ATTRIBUTE_DATA status;
        if (!GetFileAttributesExA(m_requestFilePath, GetFileExInfoStandard, &status))
            return 0;
        m_uploadSize = status.nFileSizeLow;
        if (!m_request->AddRequestHeaders(m_requestHeaders, HTTP_ADDREQ_FLAG_ADD_IF_NEW)) {
            TheLog().Comment("CWebSvrOp::Run: AddRequestHeaders FAILED");
            return 0;
        }
        if (!m_request->SendRequestEx(m_uploadSize, HSR_INITIATE, kInternetContext)) {
            TheLog().Comment("CWebSvrOp::Run: SendRequestEx FAILED");
            return 0;
        }
        if (!m_uploadFile.Open(m_requestFilePath, CFile::modeRead | CFile::shareDenyWrite))
            return 0;
        m_sendBuffer.reset(new (std::nothrow) char[kSendChunk + 1]);
        if (!m_sendBuffer)
            return 0;
    }
    Post(window, message, kSend);
    return 1;
}

bool CWebSvrOp::SendChunk(UINT size)
{
    if (m_sendCapacity < size + 1) {
        m_sendBuffer.reset(new char[size + 1]);
        m_sendCapacity = size + 1;
    }
    const UINT read = m_uploadFile.Read(m_sendBuffer.get(), size);
    if (read == 0)
        return false;
    m_sendBuffer[read] = '\0';
    m_trace.AppendText(m_sendBuffer.get());
    m_request->Write(m_sendBuffer.get(), read);
    m_bytesSent += read;
    return read == size;
}

int CWebSvrOp::Send(HWND window, UINT message)
{
    if (m_bodyFromFile) {
        if (window) {
            // One chunk per message, so the dialog shows the progress; the
            // read that finds nothing more moves on.
            const DWORD before = m_bytesSent;
            SendChunk(kSendChunk);
            Post(window, message, m_bytesSent == before ? kStatus : kSend);
        } else {
            // Nobody watches: each write is a round trip through the
            // network layer, so they are as large as memory allows.
            while (SendChunk(kSendPiece)) {
            }
        }
        return 1;
    }
    m_trace.AppendText(m_requestBody);
    if (!m_request->SendRequest(m_requestHeaders, m_requestHeaders.GetLength(),
                                m_requestBody.GetString(), m_requestBody.GetLength()))
        return 0;
    Post(window, message, kStatus);
    return 1;
}

void CWebSvrOp::SendWhole()
{
    if (!m_bodyFromFile) {
        m_trace.AppendText(m_requestBody);
        m_request->SendRequest(m_requestHeaders, m_requestHeaders.GetLength(),
                               m_requestBody.GetString(), m_requestBody.GetLength());
        return;
    }
    // The request file is still there: it is streamed once more.
    m_request->SendRequestEx(m_uploadSize, HSR_INITIATE, kInternetContext);
    if (!m_uploadFile.Open(m_requestFilePath, CFile::modeRead | CFile::shareDenyWrite))
        return;
    m_bytesSent = 0;
    while (SendChunk(kSendPiece)) {
    }
    m_uploadFile.Close();
    m_request->EndRequest(0, kInternetContext);
}

int CWebSvrOp::Status(HWND window, UINT message)
{
    if (m_bodyFromFile) {
        m_uploadFile.Close();
        m_request->EndRequest(0, kInternetContext);
    }
    DWORD status = 0;
    m_request->QueryInfoStatusCode(status);
    TheLog().Comment("CWebSvrOp::Run: QueryInfoStatusCode");
    TheLog().CommentFormatInt("HTTP Status Code = %lu", static_cast<long>(status));
    TheLog().CommentFormat("OpKind: %s", m_opKind);

    if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
        m_request->ErrorDlg(GetDesktopWindow(), ERROR_INTERNET_INCORRECT_PASSWORD,
                            FLAGS_ERROR_UI_FLAGS_GENERATE_DATA |
                                FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS);
        SendWhole();
        status = 0;
        m_request->QueryInfoStatusCode(status);
        TheLog().CommentFormatInt("HTTP Status Code = %lu", static_cast<long>(status));
    }
    if (m_bodyFromFile)
        ReleaseUpload();

    if (!IsReadableStatus(status)) {
        m_errorCode = RPC_E_SERVERFAULT;
        return 0;
    }
    m_bytesReceived = 0;
    Post(window, message, kRead);
    return 1;
}

UINT CWebSvrOp::ReceiveChunk()
{
    std::memset(m_receiveBuffer.get(), 0, kReceiveChunk + 1);
    const UINT read = m_request->Read(m_receiveBuffer.get(), kReceiveChunk);
    if (read == 0)
        return 0;
    if (m_responseFile.IsOpen())
        m_responseFile.Write(m_receiveBuffer.get(), read);
    else
        m_responseText += CString(m_receiveBuffer.get(), static_cast<int>(read));
    m_bytesReceived += static_cast<int>(read);
    return read;
}

int CWebSvrOp::Read(HWND window, UINT message)
{
    if (!m_receiveBuffer) {
        m_receiveBuffer.reset(new (std::nothrow) char[kReceiveChunk + 1]);
        if (!m_receiveBuffer)
            return 0;
        m_responseText.Empty();
        if (!m_responseFilePath.IsEmpty()) {
            // The system made this file a moment ago for this response.
            if (!m_responseFile.Open(m_responseFilePath, CFile::modeCreate | CFile::modeWrite)) {
                TheLog().Error("CWebSvrOp::Run: the response file cannot be created");
                return 0;
            }
        }
    }
    for (;;) {
        if (ReceiveChunk() == 0)
            break;
        if (window) {
            Post(window, message, kRead);
            return 1;
        }
    }

    const int result = FinishResponse();
    if (result)
        Post(window, message, kDone);
    return result;
}

int CWebSvrOp::FinishResponse()
{
    m_responseFile.Close();
    m_receiveBuffer.reset();
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
