// The WinINet classes the service client is written against: a session, an
// HTTP connection on it and a request on that. Each owns its HINTERNET and
// closes it when it goes. Failures of the calls that have no status to
// return are thrown as CInternetException, carrying the WinINet error.
#pragma once

#include <memory>
#include <windows.h>
#include <wininet.h>

#include "classlib/strings/CString.h"

// The context value every WinINet call of the system passes. Nothing tells
// requests apart by it: the status callback drops what it is given.
inline constexpr DWORD_PTR kInternetContext = 1;

class CInternetException {
public:
    explicit CInternetException(DWORD error, DWORD_PTR context = 0)
        : m_dwError(error), m_dwContext(context)
    {}

    // The system's text for the error (WinINet's own messages included).
    CString GetErrorMessage() const;
    // Shows the error text in a message box; returns the button pressed.
    int ReportError(UINT type = MB_OK) const;
    // Exceptions are thrown by value; kept so callers read as they always did.
    void Delete() {}

    DWORD m_dwError;
    DWORD_PTR m_dwContext;
};

// Throws the calling thread's last error as a CInternetException.
[[noreturn]] void ThrowLastInternetError(DWORD_PTR context);

// Owns one HINTERNET handle.
class CInternetHandle {
public:
    CInternetHandle() = default;
    explicit CInternetHandle(HINTERNET handle) : m_handle(handle) {}
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;
    ~CInternetHandle() { Close(); }

    HINTERNET Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Close()
    {
        if (m_handle) {
            InternetCloseHandle(m_handle);
            m_handle = nullptr;
        }
    }

private:
    HINTERNET m_handle = nullptr;
};

class CHttpFile;
class CHttpConnection;

class CInternetSession {
public:
    // InternetOpen with these arguments; throws CInternetException on failure.
    CInternetSession(const char* agent, DWORD_PTR context = kInternetContext,
                     DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG,
                     const char* proxyName = nullptr, const char* proxyBypass = nullptr,
                     DWORD flags = 0);
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;
    virtual ~CInternetSession();

    // Installs (or removes) a status callback on the session, which takes
    // WinINet's notifications and drops them.
    BOOL EnableStatusCallback(BOOL enable = TRUE);

    // A new HTTP connection to the server; throws CInternetException on
    // failure.
    std::unique_ptr<CHttpConnection> GetHttpConnection(const char* server, INTERNET_PORT port,
                                                       const char* userName = nullptr,
                                                       const char* password = nullptr);
    void Close() { m_handle.Close(); }

    HINTERNET GetHandle() const { return m_handle.Get(); }
    DWORD_PTR GetContext() const { return m_context; }

private:
    static void CALLBACK StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, void* info,
                                        DWORD infoLength);

    CInternetHandle m_handle;
    DWORD_PTR m_context;
};

class CHttpConnection {
public:
    CHttpConnection(HINTERNET connection, const char* server, INTERNET_PORT port)
        : m_handle(connection), m_server(server), m_port(port)
    {}
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;
    virtual ~CHttpConnection() = default;

    // A new request; throws CInternetException on failure. acceptTypes ends
    // with a null entry.
    std::unique_ptr<CHttpFile> OpenRequest(const char* verb, const char* objectName,
                                           const char* referer, DWORD_PTR context,
                                           const char** acceptTypes, const char* version,
                                           DWORD flags);
    void Close() { m_handle.Close(); }

    HINTERNET GetHandle() const { return m_handle.Get(); }
    const CString& GetServerName() const { return m_server; }
    INTERNET_PORT GetPort() const { return m_port; }

private:
    CInternetHandle m_handle;
    CString m_server;
    INTERNET_PORT m_port;
};

class CHttpFile {
public:
    CHttpFile(HINTERNET request, DWORD_PTR context) : m_handle(request), m_context(context) {}
    CHttpFile(const CHttpFile&) = delete;
    CHttpFile& operator=(const CHttpFile&) = delete;
    virtual ~CHttpFile() = default;

    // FALSE on failure (GetLastError tells why).
    BOOL AddRequestHeaders(const char* headers, DWORD flags = HTTP_ADDREQ_FLAG_ADD_IF_NEW,
                           int length = -1);
    // These throw CInternetException when WinINet fails.
    BOOL SendRequest(const char* headers = nullptr, DWORD headersLength = 0,
                     const void* optional = nullptr, DWORD optionalLength = 0);
    BOOL SendRequestEx(DWORD totalLength, DWORD flags = HSR_INITIATE,
                       DWORD_PTR context = kInternetContext);
    BOOL EndRequest(DWORD flags = 0, DWORD_PTR context = kInternetContext);
    // Bytes read, 0 at the end of the response. WinINet fills the whole
    // buffer unless the response ends first, so it may wait long.
    UINT Read(void* buffer, UINT count);
    // Bytes that can be read at once without waiting, after waiting for
    // the first of them; 0 at the end of the response. Throws
    // CInternetException when WinINet fails.
    DWORD QueryDataAvailable();
    void Write(const void* buffer, UINT count);

    // FALSE when the status is not available.
    BOOL QueryInfoStatusCode(DWORD& status) const;
    // A response header as text (level: HTTP_QUERY_*); FALSE when the
    // response has none.
    BOOL QueryInfo(DWORD level, CString& value) const;
    // InternetErrorDlg for this request.
    DWORD ErrorDlg(HWND parent, DWORD error, DWORD flags);

    void Close() { m_handle.Close(); }
    HINTERNET GetHandle() const { return m_handle.Get(); }

private:
    CInternetHandle m_handle;
    DWORD_PTR m_context;
};
