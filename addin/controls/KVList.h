// CKVList: the list of a template's keyword values: one row per value
// (the row's data is its CKeywordValue), the value in the second column,
// edited in place with the editor its type calls for. Keys move the edit
// between rows; a finished edit is checked (ValidateValue) and, when the
// value wants it, its owner window is told.
#pragma once

#include "addin/controls/DynamicListCtrl.h"

class CKeywordValue;

class CKVList : public CDynamicListCtrl {
public:
    // editorId: the control id of the editors (the list's own);
    // owner: the window told of changed values (may be null).
    CKVList(UINT editorId, CWnd* owner);

    // Opens the editor that suits the row's value; a click on the name
    // edits the value. Only an editable value's second column opens one.
    void BeginEdit(int row, int column);
    CKeywordValue* GetValue(int row) const;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void Navigate(WPARAM key, int row);
    void EndEdit(const NMLVDISPINFOA& info);
    // The rows are drawn here when the list is owner-drawn (taller rows).
    void DrawItem(const DRAWITEMSTRUCT& item);

    int m_editColumn = 0;
    int m_editRow = 0;
    CWnd* m_owner;
};
