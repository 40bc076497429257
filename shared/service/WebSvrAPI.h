// CWebSvrAPI: the process's one WinINet session and HTTP connection to the
// signature service. Every operation of the process posts its request over
// this connection; reconnecting to another URL keeps the connection that is
// open.
#pragma once

#include <memory>

#include "classlib/inet/CInternetSession.h"
#include "classlib/strings/CObject.h"
#include "classlib/strings/CString.h"

class CWebSvrSession : public CInternetSession {
public:
    explicit CWebSvrSession(const char* agent)
        : CInternetSession(agent, 1, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)
    {}

    // Opens the HTTP connection to the process's server (the default host
    // when none is set) on the configured port and makes it the process's.
    // A WinINet failure is shown to the user; FALSE then.
    BOOL Connect();

    void OnStatusCallback(DWORD_PTR, DWORD, void*, DWORD) override {}
};

class CWebSvrAPI : public CObject {
public:
    explicit CWebSvrAPI(const char* userAgent = "Inkstave/1.2") : m_userAgent(userAgent) {}
    ~CWebSvrAPI() override { Close(); }

    // TRUE when the session and the connection are open (opening them when
    // needed).
    BOOL Open();
    // Closes the connection and the session and forgets the URL.
    void Close();

    bool IsOpen() const { return m_open != 0; }
    const CString& GetServiceUrl() const { return m_serviceUrl; }
    const CString& GetUserAgent() const { return m_userAgent; }

    CString m_serviceUrl;

private:
    std::unique_ptr<CWebSvrSession> m_session;
    int m_open = 0;
    CString m_userAgent;
};
