// CDynamicListCtrl: a report list whose cells can be edited in place. It
// opens an editor over one cell, a text box (CInCellEdit) or a drop-down
// list (CInCellList); the editor ends when it loses the focus and reports
// its text to the list's parent as LVN_ENDLABELEDIT with the list's
// control id, as the list's own label editing does. One editor at a time;
// the list forgets it as soon as its window goes.
#pragma once

#include "addin/core/WindowMessages.h"
#include "classlib/strings/CStringList.h"
#include "classlib/ui/CListCtrl.h"

class CInCellEdit;
class CInCellList;

class CDynamicListCtrl : public CListCtrl {
public:
    CDynamicListCtrl() = default;
    CDynamicListCtrl(const CDynamicListCtrl&) = delete;
    CDynamicListCtrl& operator=(const CDynamicListCtrl&) = delete;
    // An editor still open goes without its text being taken.
    ~CDynamicListCtrl() override;

    // The row under the point (client coordinates), or -1; in report view
    // column receives the column under it (elsewhere it is left alone).
    int HitTestEx(POINT point, int* column) const;
    // The cell's rectangle, the row made visible and the list scrolled
    // sideways so the cell's left edge shows. FALSE for a row that cannot
    // be shown, or a column that does not exist or is narrower than 10.
    BOOL GetCellRect(int row, int column, RECT* rect);
    // Opens a text box over the cell showing *target, which receives the
    // text when the edit ends. The editor (it deletes itself), or null.
    CInCellEdit* EditCellText(int row, int column, CString* target);
    // Opens a drop-down list of the options over the cell, selected the
    // one given; *target receives the chosen option when the edit ends.
    CInCellList* EditCellChoice(int row, int column, const CStringList& options, int selected,
                                CString* target);
    // To be called whenever the list asks for its texts (it is being
    // drawn): when it has scrolled since, an open editor ends as if it had
    // lost the focus.
    void OnScrolled();
    // Ends an open editor without taking its text (before the rows it
    // writes to go away).
    void CancelEdit();
    // The open editor's window, or null.
    HWND GetEditor() const { return m_editor; }

    // For the editors: the editor's window is going.
    void EditorGone(HWND editor);
    // For the editors: tells the list's parent that the edit of the cell
    // ended, with the text (null: cancelled).
    void SendEndEdit(HWND editor, int row, int column, const char* text);

protected:
    // The control id the editors get; the derived list sets it.
    UINT m_editorId = 0;

private:
    bool Opened(HWND editor);

    int m_topIndex = 0;
    HWND m_editor = nullptr;
};
