// CInCellEdit: the text box a CDynamicListCtrl opens over a cell. Up and
// Down ask the list for the row above or below, Enter for the next one,
// Escape drops the edit; losing the focus ends it: the text goes to the
// target (unless dropped) and to the list's parent (LVN_ENDLABELEDIT), and
// the box closes. It lives as long as its window.
#pragma once

#include "classlib/ui/CEdit.h"

class CDynamicListCtrl;

class CInCellEdit : public CEdit {
public:
    CInCellEdit(CDynamicListCtrl* list, int row, int column, CString* target);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override { delete this; }

private:
    // Gives the focus back to the list (which ends the edit), then asks it
    // to move on with the key.
    void Leave(WPARAM key);
    void End();

    CDynamicListCtrl* m_list;
    int m_row;
    int m_column;
    int m_cancelled = 0;
    CString m_initial;
    CString* m_target;
    bool m_ending = false;
};
