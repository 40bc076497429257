// A test against the stand-in service: one service for the whole suite on
// the suite's own loopback address (Address), reset before every test; the
// settings point at it over plain HTTP and the process's protocol object is
// connected to it.
#pragma once

#include "shared/config/Config.h"
#include "shared/config/Credentials.h"
#include "shared/service/Protocol.h"
#include "shared/service/ServiceGlobals.h"
#include "tests/support/StandInService.h"
#include "tests/support/TestEnv.h"

template <const char* Address>
class ServiceTestOn : public CleanProfileTest {
protected:
    static void SetUpTestSuite()
    {
        s_service = new CStandInService(Address);
        if (!s_service->Start())
            FAIL() << "the stand-in service did not start: " << s_service->LastError();
    }

    static void TearDownTestSuite()
    {
        delete s_service;
        s_service = nullptr;
    }

    void SetUp() override
    {
        CleanProfileTest::SetUp();
        ASSERT_TRUE(s_service && s_service->Running());
        ASSERT_TRUE(s_service->Reset()) << s_service->LastError();
        UseHost(Address);
    }

    void TearDown() override
    {
        m_protocol.Disconnect();
        ServiceGlobals().protocol = nullptr;
        CleanProfileTest::TearDown();
    }

    // The settings name host (plain HTTP) and the protocol object is
    // connected there afresh; m_url is the login's service URL.
    void UseHost(const char* host)
    {
        m_protocol.Disconnect();
        testenv::WriteText(testenv::kProductKey, "Host", host);
        testenv::WriteDword(testenv::kProductKey, "SSL", 0);
        ServiceGlobals().protocol = &m_protocol;
        ASSERT_EQ(S_OK, CConfig().GetServiceUrl(m_url, "services/gateway.asmx"));
        ASSERT_EQ(S_OK, m_protocol.Connect(m_url));
    }

    CStandInService& Service() { return *s_service; }

    // The stand-in's demo account.
    static CCredentials Demo()
    {
        CCredentials credentials;
        credentials.m_email = standin::kDefaultEmail;
        credentials.m_accountId = standin::kDefaultApiCode;
        credentials.m_password = "never sent";
        return credentials;
    }

    static inline CStandInService* s_service = nullptr;
    CProtocol m_protocol;
    CString m_url;
};
