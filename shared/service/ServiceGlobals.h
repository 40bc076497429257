// What one process shares with all of its service operations: the server
// and object path of the current service URL, the protocol object, the
// web-service API with its HTTP connection, and the sender's address found
// by the identity lookup. Nothing here is owned: each pointer names the
// object's owner beside it.
#pragma once

#include "classlib/strings/CString.h"

class CHttpConnection;
class CProtocol;
class CWebSvrAPI;

struct CServiceGlobals {
    // The host's (the add-in's, the agent's, a test's); null before it has one.
    CProtocol* protocol = nullptr;
    // Made by CProtocol::Connect, deleted by CProtocol::Disconnect.
    CWebSvrAPI* api = nullptr;
    // The API's, while it is open.
    CHttpConnection* connection = nullptr;
    CString serverName;
    CString objectPath;
    CString senderSmtp;
    CString senderName;
};

CServiceGlobals& ServiceGlobals();
