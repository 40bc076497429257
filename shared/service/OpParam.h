// OpParam: SetSignatureRequestParameters, which keeps the service from
// showing the client's e-mail addresses to the signers.
#pragma once

#include "shared/service/OpQuillet.h"

class OpParam : public OpQuillet {
public:
    explicit OpParam(const char* serviceUrl);

protected:
    HRESULT WriteRequest() override;
    int ParseResponse() override;
};
