// CInCellEdit: the text box a CDynamicListCtrl opens over a cell. Up and
// Down ask the list for the row above or below, Enter for the next one,
// Escape drops the edit; the rest is every in-cell editor's
// (CInCellEditor).
#pragma once

#include "addin/controls/InCellEditor.h"
#include "classlib/ui/CEdit.h"

class CInCellEdit : public CInCellEditor<CEdit> {
public:
    CInCellEdit(CDynamicListCtrl* list, int row, int column, CString* target);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    CString EditedText() override { return GetWindowText(); }

private:
    // Gives the focus back to the list (which ends the edit), then asks it
    // to move on with the key.
    void Leave(WPARAM key);

    CString m_initial;
};
