// CProtocol: the process's protocol object. It opens the connection to the
// service for a URL and logs the user in. The add-in and the agent use the
// variant with a login dialog; the options page's credentials test this one.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "classlib/strings/CObject.h"
#include "shared/config/Credentials.h"

class CProtocol : public CObject {
public:
    // host: the host application's automation object (not owned; may be null).
    explicit CProtocol(IDispatch* host = nullptr) : m_host(host) {}
    // Closes the connection.
    ~CProtocol() override;

    // Opens (or reuses) the process's connection and makes url its service
    // URL; the first call makes the process's web-service API. 0,
    // E_OUTOFMEMORY or E_FAIL.
    HRESULT Connect(const char* url);
    // Closes the process's connection and deletes its web-service API.
    void Disconnect();

    // Runs the login operation with these credentials and waits for its
    // end while the thread's messages are dispatched; the operation's error
    // code, which fails whenever the login failed (E_ABORT when the thread
    // was asked to quit meanwhile).
    virtual HRESULT Login(CCredentials& credentials);

    IDispatch* GetHost() const { return m_host; }
    // The window the login acts for (its caller's): it waits, disabled,
    // while the login runs, and owns the login's dialogs.
    void SetOwner(HWND owner) { m_owner = owner; }
    HWND GetOwner() const { return m_owner; }

protected:
    // Connects to the login's endpoint of the configured service.
    HRESULT ConnectForLogin();

private:
    IDispatch* m_host;
    HWND m_owner = nullptr;
};
