// CIdentity: the current user's display name and address from the MAPI
// profile, turned into SMTP form through the directory when asked.
#pragma once

#include "shared/identity/Proxy.h"

class CIdentity : public CProxy {
public:
    // wantedType "SMTP" turns an address of another type (Exchange) into
    // its primary SMTP address; on that look-up's failure its code is
    // returned with the display name set and the profile's address.
    HRESULT IdentifyUser(const char* wantedType, CString& displayName, CString& address);

private:
    HRESULT IdentifyOpenUser(const char* wantedType, CString& displayName, CString& address);
};
