// Ids of inkProxy.exe's own resources (resources/inkProxy/inkProxy.rc). The
// shared code's resources come with it from resources/shared/Shared.rc.
#pragma once

// Dialogs and their controls.
#define IDD_ABOUTBOX 100
#define IDD_INKPROXY_DIALOG 102
#define IDC_AGENT_STEPS 1000
#define IDC_AGENT_PROGRESS 1001
#define IDC_AGENT_STATUS 1002
#define IDC_AGENT_PICTURE 1003

// Pictures and the tray's menu.
#define IDR_MAINFRAME 128
#define IDI_AGENT_BADGE 129
#define IDB_AGENT_PICTURE 131
#define IDR_TRAY_MENU 132
#define IDB_AGENT_STEP_STATES 133

// The system menu's about item and the tray menu's commands.
#define IDM_ABOUTBOX 0x0010
#define ID_TRAY_OPEN 32771
#define ID_TRAY_EXIT 32772

// Strings.
#define IDS_ABOUTBOX 101
#define IDS_AGENT_TITLE 102
#define IDS_AGENT_SUBMITTED 103
#define IDS_AGENT_CANCEL_QUESTION 104
#define IDS_AGENT_UNKNOWN_FAILURE 105
#define IDS_AGENT_BALLOON 107
#define IDS_AGENT_NO_DIRECTIVES 112
#define IDS_AGENT_NOT_COMPLETED 115
#define IDS_STEP_CREATE 120
#define IDS_STEP_CREATED 121
#define IDS_STEP_ADD_DOCUMENT 122
#define IDS_STEP_DOCUMENT_ADDED 123
#define IDS_STEP_GET_LINK 124
#define IDS_STEP_LINK_OBTAINED 125
#define IDS_STEP_INVITE 126
#define IDS_STEP_INVITED 127
#define IDS_STEP_SET_PARAMS 128
#define IDS_STEP_PARAMS_SET 129
// Which targets a broadcast did not send, and why.
#define IDS_AGENT_NOT_SENT_FROM 140
#define IDS_AGENT_NOT_SENT_LAST 141
#define IDS_AGENT_TARGET_NO_EMAIL 142
#define IDS_AGENT_TARGET_FILES 143
#define IDS_AGENT_TARGET_NO_NAME 144
#define IDS_AGENT_TARGET_NO_ROLE 145
#define IDS_AGENT_TARGET_NO_TIER 146
