// CEnvStat: how far a signature request has come, as the status operation
// reads it from the service.
#pragma once

struct CEnvStat {
    int m_percentSigned = 0;
};
