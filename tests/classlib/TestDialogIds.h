// Dialogs of the dialog-layer tests.
#pragma once

#define IDD_TEST_FORM 20100
#define IDC_FORM_NAME 1007
#define IDC_FORM_COUNT 1010
#define IDC_FORM_REMEMBER 1002
#define IDC_FORM_STATUS 1020
#define IDC_FORM_LEVEL 1030
#define IDC_FORM_ROWS 1031

#define IDD_TEST_PLAIN 20101
#define IDC_PLAIN_TEXT 1040
#define IDC_PLAIN_ASK 1041
#define IDC_PLAIN_LOCKED 1042
#define IDC_PLAIN_HIDDEN 1043
#define IDC_PLAIN_PICTURE 1044

#define IDD_TEST_PAGE 20102
#define IDC_PAGE_DRAWN 1050
#define IDC_PAGE_REFLECTED 1051
#define IDC_PAGE_PLAIN 1052

// Two 16-pixel squares, red then blue, each see-through (magenta) at its
// top-left pixel: a strip of pictures drawn for 96 DPI.
#define IDB_TEST_STRIP 20110
