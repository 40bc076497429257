// CProtocolUI: the protocol object of the add-in and the agent. Its login
// takes the stored credentials, and asks for them in the login dialog when
// there are none.
#pragma once

#include "classlib/com/HResult.h"
#include "shared/service/Protocol.h"

class CProtocolUI : public CProtocol {
public:
    using CProtocol::CProtocol;

    // 0 when the user is logged in, kUserCancelled when the user
    // cancelled the dialog, or why the connection could not be made.
    HRESULT Login(CCredentials& credentials) override;
};
