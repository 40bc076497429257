// CInCellList: the drop-down list a CDynamicListCtrl opens over a cell.
// Enter or closing the drop-down gives the focus back to the list, Escape
// drops the edit; losing the focus ends it: the chosen option goes to the
// target (unless dropped) and to the list's parent (LVN_ENDLABELEDIT), and
// the box closes. It lives as long as its window.
#pragma once

#include "classlib/ui/CComboBox.h"

class CDynamicListCtrl;

class CInCellList : public CComboBox {
public:
    CInCellList(CDynamicListCtrl* list, int row, int column, CString* target);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PostNcDestroy() override { delete this; }

private:
    void End();

    CDynamicListCtrl* m_list;
    int m_row;
    int m_column;
    int m_cancelled = 0;
    CString* m_target;
    bool m_ending = false;
};
