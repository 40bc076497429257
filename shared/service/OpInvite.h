// OpInvite: InviteSigners, after which the service mails the signers with
// the message of the request.
#pragma once

#include "shared/service/OpQuillet.h"

class CBodyPart;

class OpInvite : public OpQuillet {
public:
    explicit OpInvite(const char* serviceUrl);

    CBodyPart* m_messagePart = nullptr; // not owned

protected:
    HRESULT WriteRequest() override;
    int ParseResponse() override;
};
