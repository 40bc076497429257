// CWebSvrAPI: the process's one WinINet session and HTTP connection to the
// signature service. It owns both; the process's service globals only
// point at the connection, for the operations that post their requests
// over it. Reconnecting to another URL keeps the connection that is open.
#pragma once

#include <memory>

#include "classlib/inet/CInternetSession.h"
#include "classlib/strings/CObject.h"
#include "classlib/strings/CString.h"

class CWebSvrSession : public CInternetSession {
public:
    explicit CWebSvrSession(const char* agent)
        : CInternetSession(agent, kInternetContext, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                           0)
    {}

    // Opens an HTTP connection to the process's server (the default host,
    // which then becomes the server, when none is set) on the configured
    // port. A WinINet failure is shown to the user; null then.
    std::unique_ptr<CHttpConnection> Connect();
};

class CWebSvrAPI : public CObject {
public:
    explicit CWebSvrAPI(const char* userAgent = "Inkstave/1.2") : m_userAgent(userAgent) {}
    ~CWebSvrAPI() override { Close(); }

    // TRUE when the session and the connection are open (opening them when
    // needed); the connection is then the process's.
    BOOL Open();
    // Closes the connection and the session and forgets the URL.
    void Close();

    bool IsOpen() const { return m_connection != nullptr; }
    const CString& GetServiceUrl() const { return m_serviceUrl; }
    const CString& GetUserAgent() const { return m_userAgent; }

    CString m_serviceUrl;

private:
    std::unique_ptr<CWebSvrSession> m_session;
    // Open exactly while the API is: it is opened last and closed first.
    std::unique_ptr<CHttpConnection> m_connection;
    CString m_userAgent;
};
