// OpGetLink: GetMaintenanceLink, the link of the request's page on the
// service.
#pragma once

#include "shared/service/OpQuillet.h"

class OpGetLink : public OpQuillet {
public:
    explicit OpGetLink(const char* serviceUrl);

    CString m_result; // the link

protected:
    HRESULT WriteRequest() override;
    int ParseResponse() override;
};
