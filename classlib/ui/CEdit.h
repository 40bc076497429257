// CEdit: a view of an edit control, or (Create) one this object makes as a
// child and handles the messages of (see CWnd).
#pragma once

#include "classlib/ui/CWnd.h"

class CEdit : public CWnd {
public:
    CEdit() = default;
    explicit CEdit(HWND hwnd) : CWnd(hwnd) {}

    // An edit child of parent (WS_CHILD is added to style), with the
    // extended styles given. FALSE when it could not be made.
    BOOL Create(DWORD exStyle, DWORD style, const RECT& rect, HWND parent, UINT id,
                const char* text = "");

    // Selects characters first..last-1 (-1 as last: to the end).
    void SetSel(int first, int last) { SendMessage(EM_SETSEL, first, last); }
    void GetSel(int& first, int& last) const;
    void ReplaceSel(const char* text, BOOL canUndo = FALSE);
    void ScrollCaret() { SendMessage(EM_SCROLLCARET); }
    void LimitText(int characters) { SendMessage(EM_LIMITTEXT, characters); }
};
