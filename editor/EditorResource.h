// Resource ids of inkEdit.exe (resources/inkEdit), named by kind. The ids
// of the shared code's resources are in shared/SharedResource.h.
#pragma once

// ---- dialogs ----
#define IDD_ABOUTBOX 100
#define IDD_INKEDIT_DIALOG 102
#define IDD_NEW_TEMPLATE 142
#define IDD_SIGNER 143
#define IDD_DELETE 144
#define IDD_EDIT_ERROR 145

// ---- icons and pictures ----
#define IDR_MAINFRAME 128
#define IDI_EDIT_ERROR 132
#define IDR_TOOLBAR 136
#define IDI_NEW_TEMPLATE 140

// ---- the system menu's added item ----
#define IDM_ABOUTBOX 16

// ---- strings ----
#define IDS_ABOUTBOX 101
#define IDS_BROWSE 102
#define IDS_OUTLOOK_ATTACHMENT 103
#define IDS_SENDER 109
#define IDS_RECIPIENT 110
#define IDS_DEFAULT_SUBJECT 112
#define IDS_DEFAULT_MESSAGE 113
#define IDS_LOCAL_TEMPLATE 114
#define IDS_PASSWORDS_DIFFER 115
#define IDS_DELETE_SIGNER 116
#define IDS_DELETE_TEMPLATE 117
#define IDS_SELECT_TEMPLATE 118
#define IDS_TEMPLATE_SUBJECT 119
#define IDS_TEMPLATE_BODY 120
#define IDS_ASK_SAVE 121
#define IDS_REMOVE 123
#define IDS_ADD_DOCUMENT 124
#define IDS_BROADCAST_NEEDS_AUTO 125
#define IDS_SETTINGS_CONFLICT 126
// Messages of failures the editor reports rather than passing over.
#define IDS_SAVE_FAILED 127
#define IDS_BAD_TEMPLATE_NAME 128
#define IDS_BAD_TEMPLATE_NAME_DETAILS 129
#define IDS_SEND_FAILED 130
#define IDS_SEND_NOT_SAVED 131
#define IDS_SEND_NO_OUTLOOK 132
#define IDS_OPEN_REFUSED 134
// Why a file the user opened cannot be imported as a template.
#define IDS_IMPORT_REFUSED 150
#define IDS_IMPORT_UNREADABLE 151
#define IDS_IMPORT_EMPTY 152
#define IDS_IMPORT_DTD 153
#define IDS_IMPORT_NOT_TEMPLATE 154
#define IDS_IMPORT_NO_NAME 155
#define IDS_IMPORT_NO_DOCUMENT 156
// Nothing replaced or dropped unasked.
#define IDS_REPLACE_TEMPLATE 157
#define IDS_NO_SIGNATURE_DOCUMENT 158

// ---- toolbar commands (each string: status text, "\n", tooltip) ----
#define ID_OPEN_TEMPLATE 32771
#define ID_NEW_TEMPLATE 32772
#define ID_SAVE_TEMPLATE 32773
#define ID_SEND_TEMPLATE 32774
#define ID_DELETE_TEMPLATE 32775
#define ID_OPEN_DOCUMENT 32776
#define ID_NEW_SIGNER 32777
#define ID_DELETE_SIGNER 32778
#define ID_MOVE_SIGNER_UP 32779
#define ID_MOVE_SIGNER_DOWN 32780

// ---- controls of the main dialog ----
#define IDC_TEMPLATE_LIST 1000
#define IDC_SIGNATURE_DOC 1001
#define IDC_POSITIONING 1003
#define IDC_SIGTYPE_ELECTRONIC 1004
#define IDC_SIGTYPE_WRITTEN 1005
#define IDC_SUBJECT 1006
#define IDC_MESSAGE 1007
#define IDC_PASSWORD 1008
#define IDC_CONFIRM 1009
#define IDC_SIGNER_LIST 1010
#define IDC_SIGTYPE_EITHER 1011
#define IDC_REFERENCE_DOC 1012
#define IDC_INFO_DOC 1013
#define IDC_MOUSE_TOUCH 1014
#define IDC_HIDE_EMAILS 1019
#define IDC_OPEN_SIGNATURE 1020
#define IDC_OPEN_REFERENCE 1021
#define IDC_OPEN_INFO 1022
#define IDC_MODE 1034

// ---- controls of the new-template dialog ----
#define IDC_NEW_DOCUMENT 1001
#define IDC_NEW_NAME 1021
#define IDC_NEW_SENDER_ROLE 1022
#define IDC_NEW_SENDER_SIGNS 1024

// ---- controls of the signer dialog ----
#define IDC_SIGNER_ROLE 1022
#define IDC_SIGNER_SENDER 1030
#define IDC_SIGNER_RECIPIENT 1026
#define IDC_SIGNER_HARDCODED 1027
#define IDC_SIGNER_NAME 1028
#define IDC_SIGNER_EMAIL 1029

// ---- the delete and error dialogs ----
#define IDC_DELETE_QUESTION 1031
#define IDC_EDIT_ERROR_DETAILS 1032
#define IDC_EDIT_ERROR_MESSAGE 1033
