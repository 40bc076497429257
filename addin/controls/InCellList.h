// CInCellList: the drop-down list a CDynamicListCtrl opens over a cell.
// Enter or closing the drop-down gives the focus back to the list, Escape
// drops the edit; the chosen option is the edit's text, and the rest is
// every in-cell editor's (CInCellEditor).
#pragma once

#include "addin/controls/InCellEditor.h"
#include "classlib/ui/CComboBox.h"

class CInCellList : public CInCellEditor<CComboBox> {
public:
    using CInCellEditor::CInCellEditor;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    CString EditedText() override;
};
