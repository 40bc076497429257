// CWebService: the base of every event sink and command button (and the
// agent's web object): what they share is the way to the service.
#pragma once

#include <windows.h>

#include "classlib/strings/CObject.h"

class CWebService : public CObject {
public:
    CWebService() = default;

    // Opens the process's protocol object on url (null: the configured
    // service URL). E_INVALIDARG when there is no protocol object yet.
    HRESULT FireUpProtocol(const char* url);
};
