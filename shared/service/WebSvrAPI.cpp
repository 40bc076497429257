#include "shared/service/WebSvrAPI.h"

#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/service/WireLimits.h"

std::unique_ptr<CHttpConnection> CWebSvrSession::Connect()
{
    try {
        EnableStatusCallback(TRUE);
        CConfig config;
        const INTERNET_PORT port = config.GetPort();
        CServiceGlobals& globals = ServiceGlobals();
        if (globals.serverName.IsEmpty())
            globals.serverName = CurrentServiceHost();
        auto connection = GetHttpConnection(globals.serverName, port, nullptr, nullptr);
        // Every request on the connection starts from these; an operation
        // sets its own on its request as well.
        ApplySilenceLimit(connection->GetHandle(), CWireLimits().silenceMs);
        return connection;
    } catch (const CInternetException& failure) {
        failure.ReportError(MB_OK);
        return nullptr;
    }
}

BOOL CWebSvrAPI::Open()
{
    if (m_connection)
        return TRUE;
    try {
        if (!m_session)
            m_session = std::make_unique<CWebSvrSession>(m_userAgent);
    } catch (const CInternetException&) {
        TheLog().Error("CWebSvrAPI::Open: the internet session cannot be opened");
        return FALSE;
    }
    m_connection = m_session->Connect();
    if (!m_connection)
        return FALSE;
    ServiceGlobals().connection = m_connection.get();
    return TRUE;
}

void CWebSvrAPI::Close()
{
    CServiceGlobals& globals = ServiceGlobals();
    if (m_connection) {
        if (globals.connection == m_connection.get())
            globals.connection = nullptr;
        m_connection.reset();
        globals.serverName.Empty();
    }
    m_session.reset();
    m_serviceUrl.Empty();
}
