// Ids of QuillOpts.dll's own resources (resources/QuillOpts/): the page's
// dialog and its controls, its strings, pictures and registry scripts.
// The shared code's resources keep their 19000s (shared/SharedResource.h).
#pragma once

// Registry scripts.
#define IDR_QUILLOPTS 9000
#define IDR_PROPPAGE 9002

// The page's dialog.
#define IDD_PROPPAGE 9003

// Pictures.
#define IDI_CREDENTIALS 9000
#define IDI_PREFERENCES 9001
#define IDI_TEMPLATES 9007
#define IDB_GATEWAY_STATES 9004
#define IDB_TOOLBOX 9001

// Controls.
#define IDC_USERNAME 6000
#define IDC_PASSWORD 6001
#define IDC_ACCOUNT_ID 9004
#define IDC_TEST_CREDENTIALS 6002
#define IDC_TEST_RESULT 6004
#define IDC_MAKE_RECEIPT 9000
#define IDC_SHOW_RECEIPT 9002
#define IDC_GOTO_SHORTCUTS 9001
#define IDC_GATEWAYS 9003
#define IDC_TEMPLATE_FOLDER 9005
#define IDC_BROWSE_FOLDER 9006
#define IDC_TEMPLATES_ONLY 9008
#define IDC_SINGLE_CLICK 9009
#define IDC_EDIT_TEMPLATES 9007
#define IDC_VERSION 6003
#define IDC_TEMPLATES_ICON 9010

// Strings.
#define IDS_TEST_RUNNING 9005
#define IDS_TEST_VALID 9006
#define IDS_TEST_INVALID 9007
#define IDS_TEST_NO_CONNECTION 9008
#define IDS_INTERNAL_EXCEPTION 9009
#define IDS_BROWSE_TITLE 9010
#define IDS_CREDENTIALS_TOO_LONG 9011
