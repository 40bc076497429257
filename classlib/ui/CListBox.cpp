#include "classlib/ui/CListBox.h"

int CListBox::AddString(const char* text)
{
    return static_cast<int>(
        SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text ? text : "")));
}

int CListBox::InsertString(int index, const char* text)
{
    return static_cast<int>(SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text ? text : "")));
}

int CListBox::DeleteString(int index)
{
    return static_cast<int>(SendMessage(LB_DELETESTRING, static_cast<WPARAM>(index)));
}

int CListBox::SetCurSel(int index)
{
    return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index)));
}

CString CListBox::GetText(int index) const
{
    int length = static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index)));
    if (length <= 0)
        return CString();
    CString text;
    int copied = static_cast<int>(SendMessage(LB_GETTEXT, static_cast<WPARAM>(index),
                                              reinterpret_cast<LPARAM>(text.GetBuffer(length))));
    text.ReleaseBuffer(copied > 0 ? copied : 0);
    return text;
}

DWORD_PTR CListBox::GetItemData(int index) const
{
    LRESULT data = SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index));
    return data == LB_ERR ? 0 : static_cast<DWORD_PTR>(data);
}

int CListBox::SetItemData(int index, DWORD_PTR data)
{
    return static_cast<int>(
        SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
}
