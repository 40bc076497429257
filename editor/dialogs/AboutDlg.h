// CAboutDlg: the program's name and version.
#pragma once

#include "classlib/ui/CDialog.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND parent = nullptr);
};
