#include "classlib/ui/CEdit.h"

BOOL CEdit::Create(DWORD exStyle, DWORD style, const RECT& rect, HWND parent, UINT id,
                   const char* text)
{
    return CreateEx(exStyle, "EDIT", text, style | WS_CHILD, rect, parent, id);
}

void CEdit::GetSel(int& first, int& last) const
{
    DWORD start = 0;
    DWORD end = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    first = static_cast<int>(start);
    last = static_cast<int>(end);
}

void CEdit::ReplaceSel(const char* text, BOOL canUndo)
{
    SendMessage(EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text ? text : ""));
}
