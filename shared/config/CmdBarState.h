// The saved position of the explorer's command bar, as the settings hold it.
#pragma once

struct CCmdBarState {
    long Top = -1; // -1: not set
    long Left = -1;
    long Position = -1;
    long RowIndex = -1;
    long Visible = 0;
};
