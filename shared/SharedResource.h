// Ids of the resources every deliverable's resource script carries for the
// shared code (resources/shared/Shared.rc): strings, the error and login
// dialogs with their controls, and their pictures.
#pragma once

// Strings.
#define IDS_MESSAGE_UNSPECIFIED 19000
#define IDS_PANE_BLANK_1 19001 // status-bar indicators: a single blank each
#define IDS_PANE_BLANK_2 19002
#define IDS_MESSAGE_BODY 19004 // the part name of the mail body among the request parts
#define IDS_OPERATION_FAILED 19005
#define IDS_LOGIN_REJECTED 19010
#define IDS_CONNECTION_EXCEPTION 19049
// Why an exchange with the service was given up (CWebSvrOp): printf formats,
// numbered apart from the 19000s every deliverable's string table shares.
#define IDS_WIRE_SILENT 19200
#define IDS_WIRE_TOO_SLOW 19201
#define IDS_WIRE_TOO_LARGE 19202
#define IDS_WIRE_CUT_SHORT 19203
#define IDS_WIRE_REDIRECTED 19204
// A signed copy's answer that holds no document to be read (OpReqPDF).
#define IDS_SIGNED_COPY_UNREADABLE 19205
// Why a secure connection to the service was not made (CWebSvrOp).
#define IDS_WIRE_UNTRUSTED 19210
#define IDS_WIRE_WRONG_NAME 19211
#define IDS_WIRE_CERTIFICATE_DATE 19212
#define IDS_WIRE_REVOKED 19213
#define IDS_WIRE_REVOCATION_UNCHECKED 19214
#define IDS_WIRE_TLS_FAILED 19215
// A proxy's challenge that was not met (CWebSvrOp).
#define IDS_WIRE_PROXY_REFUSED 19220
// A template from someone else that names a file of this machine as a
// document (CTemplate::LocalDocumentRefusal): the add-in's mailed-template
// import and the editor's Open/Import refuse it alike.
#define IDS_TEMPLATE_REFUSED_LOCAL_FILE 19240
// Why a request assembled from its pieces (OpQuillet) was not sent.
#define IDS_PIECE_UNREADABLE 19230
#define IDS_PIECE_TOO_LARGE 19231
#define IDS_PIECE_NOT_ADDINS 19232
#define IDS_REQUEST_NO_FILE_ID 19233
#define IDS_REQUEST_NOT_WRITTEN 19234

// The error dialog.
#define IDD_ERROR 19001
#define IDI_ERROR_BADGE 19002
#define IDC_ERROR_MESSAGE 19015
#define IDC_ERROR_DETAILS 1005

// The login dialog.
#define IDD_LOGIN 19008
#define IDC_LOGIN_EMAIL 1007
#define IDC_LOGIN_PASSWORD 1001
#define IDC_LOGIN_ACCOUNT 19009
#define IDC_LOGIN_REMEMBER 1002
#define IDC_LOGIN_PICTURE 19008
#define IDB_LOGIN_BANNER 19020
#define IDI_LOGIN 19023
