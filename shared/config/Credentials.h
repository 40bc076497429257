// CCredentials: the user's login to the signature service. Only the e-mail
// address, password and account ID are stored (see CConfig); the display
// name comes from the mail profile when the login dialog is prefilled.
#pragma once

#include "classlib/strings/CString.h"

struct CCredentials {
    CString m_email;       // the login name, sent as the user-info request's e-mail
    CString m_displayName; // never stored
    CString m_password;    // stored, not sent by the login request
    CString m_accountId;   // sent as the API code of every request
};
