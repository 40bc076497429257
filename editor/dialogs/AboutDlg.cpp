#include "editor/dialogs/AboutDlg.h"

#include "editor/EditorResource.h"

CAboutDlg::CAboutDlg(HWND parent) : CDialog(IDD_ABOUTBOX, parent) {}
