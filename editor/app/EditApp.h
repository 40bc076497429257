// CEditApp: the editor's application object. The program is its main
// dialog: InitInstance runs it modally and the program ends with it.
#pragma once

#include "classlib/app/CWinApp.h"

class CEditApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
