// OpReqStat: GetFileStatus, how many of a request's signers have signed.
#pragma once

#include "shared/config/Credentials.h"
#include "shared/service/EnvStat.h"
#include "shared/service/WebSvrOp.h"

class OpReqStat : public CWebSvrOp {
public:
    explicit OpReqStat(const char* serviceUrl);

    CCredentials m_credentials;
    CString m_fileId;
    CString m_documentId; // the request's first document, read from the status
    CEnvStat m_envStat;

protected:
    int PrepareData() override;
    int ParseResponse() override;
};
