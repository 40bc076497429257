// What one process shares with all of its service operations: the one HTTP
// connection (owned by the web-service API object), the server and object
// path of the current service URL, the protocol object, and the sender's
// address found by the identity lookup.
#pragma once

#include "classlib/strings/CString.h"

class CHttpConnection;
class CProtocol;
class CWebSvrAPI;

struct CServiceGlobals {
    CProtocol* protocol = nullptr;
    CWebSvrAPI* api = nullptr;
    CHttpConnection* connection = nullptr;
    CString serverName;
    CString objectPath;
    CString senderSmtp;
    CString senderName;
};

CServiceGlobals& ServiceGlobals();
