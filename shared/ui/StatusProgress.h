// CStatusProgress: a progress bar that sits in one pane of a status bar.
#pragma once

#include "classlib/ui/CProgressCtrl.h"
#include "classlib/ui/CStatusBar.h"

class CStatusProgress : public CProgressCtrl {
public:
    // Creates the bar in the pane with paneId (its text emptied), as a child
    // of the status bar with the pane id as its control id. A bar not laid
    // out yet gives a one-pixel rectangle just right of it instead.
    BOOL Create(CStatusBar& statusBar, UINT paneId, DWORD style);
    // Moves the bar onto the rectangle of its pane again.
    void Reposition(CStatusBar& statusBar);
};
