#include "classlib/ui/CComboBox.h"

BOOL CComboBox::Create(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    return CreateEx(0, "COMBOBOX", "", style | WS_CHILD, rect, parent, id);
}

int CComboBox::AddString(const char* text)
{
    return static_cast<int>(
        SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text ? text : "")));
}

int CComboBox::InsertString(int index, const char* text)
{
    return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text ? text : "")));
}

int CComboBox::DeleteString(int index)
{
    return static_cast<int>(SendMessage(CB_DELETESTRING, static_cast<WPARAM>(index)));
}

int CComboBox::SetCurSel(int index)
{
    return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
}

int CComboBox::FindStringExact(int startAfter, const char* text) const
{
    return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(startAfter),
                                        reinterpret_cast<LPARAM>(text ? text : "")));
}

CString CComboBox::GetLBText(int index) const
{
    int length = static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
    if (length <= 0)
        return CString();
    CString text;
    int copied = static_cast<int>(SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index),
                                              reinterpret_cast<LPARAM>(text.GetBuffer(length))));
    text.ReleaseBuffer(copied > 0 ? copied : 0);
    return text;
}

DWORD_PTR CComboBox::GetItemData(int index) const
{
    LRESULT data = SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index));
    return data == CB_ERR ? 0 : static_cast<DWORD_PTR>(data);
}

int CComboBox::SetItemData(int index, DWORD_PTR data)
{
    return static_cast<int>(
        SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
}

int CComboBox::SetItemHeight(int index, UINT height)
{
    return static_cast<int>(SendMessage(CB_SETITEMHEIGHT, static_cast<WPARAM>(index), height));
}

void CComboBox::SetHorizontalExtent(UINT extent)
{
    SendMessage(CB_SETHORIZONTALEXTENT, extent);
}
