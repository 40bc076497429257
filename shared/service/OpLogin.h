// OpLogin: GetUserInfo, which checks an account against the service and so
// is the login.
#pragma once

#include "shared/config/Credentials.h"
#include "shared/service/WebSvrOp.h"

class OpLogin : public CWebSvrOp {
public:
    explicit OpLogin(const char* serviceUrl);

    CCredentials m_credentials;

protected:
    int PrepareData() override;
    int ParseResponse() override;
};
