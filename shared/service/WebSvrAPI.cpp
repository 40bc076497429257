#include "shared/service/WebSvrAPI.h"

#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/service/ServiceGlobals.h"

BOOL CWebSvrSession::Connect()
{
    try {
        EnableStatusCallback(TRUE);
        CConfig config;
        const INTERNET_PORT port = config.GetPort();
        CServiceGlobals& globals = ServiceGlobals();
        if (globals.serverName.IsEmpty())
            globals.serverName = CurrentServiceHost();
        globals.connection = GetHttpConnection(globals.serverName, port, nullptr, nullptr);
        return TRUE;
    } catch (const CInternetException& failure) {
        failure.ReportError(MB_OK);
        return FALSE;
    }
}

BOOL CWebSvrAPI::Open()
{
    if (m_open)
        return TRUE;
    try {
        if (!m_session)
            m_session = std::make_unique<CWebSvrSession>(m_userAgent);
    } catch (const CInternetException&) {
        TheLog().Error("CWebSvrAPI::Open: the internet session cannot be opened");
        return FALSE;
    }
    if (!m_session->Connect())
        return FALSE;
    m_open = 1;
    return TRUE;
}

void CWebSvrAPI::Close()
{
    CServiceGlobals& globals = ServiceGlobals();
    if (m_open) {
        delete globals.connection;
        globals.connection = nullptr;
        globals.serverName.Empty();
        m_open = 0;
    }
    m_session.reset();
    m_serviceUrl.Empty();
}
