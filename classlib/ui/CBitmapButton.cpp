#include "classlib/ui/CBitmapButton.h"

namespace {

HBITMAP LoadNamedBitmap(const char* name)
{
    return name ? static_cast<HBITMAP>(LoadImageA(GetResourceModule(), name, IMAGE_BITMAP, 0, 0,
                                                  LR_CREATEDIBSECTION))
                : nullptr;
}

} // namespace

BOOL CBitmapButton::LoadBitmaps(const char* up, const char* down, const char* focus,
                                const char* disabled)
{
    m_up.Reset(LoadNamedBitmap(up));
    m_down.Reset(LoadNamedBitmap(down));
    m_focus.Reset(LoadNamedBitmap(focus));
    m_disabled.Reset(LoadNamedBitmap(disabled));
    return m_up.IsValid();
}

BOOL CBitmapButton::AutoLoad(int id, HWND parent)
{
    if (!SubclassDlgItem(id, parent))
        return FALSE;
    const DWORD style = GetStyle();
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>((style & ~BS_TYPEMASK) | BS_OWNERDRAW));
    const CString name = GetWindowText();
    return LoadBitmaps(name + "U", name + "D", name + "F", name + "X");
}

BOOL CBitmapButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (message != WM_DRAWITEM || !lParam)
        return FALSE;
    Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return TRUE;
}

void CBitmapButton::Draw(const DRAWITEMSTRUCT& item) const
{
    HBITMAP picture = m_up.Get();
    if ((item.itemState & ODS_SELECTED) && m_down)
        picture = m_down.Get();
    else if ((item.itemState & ODS_DISABLED) && m_disabled)
        picture = m_disabled.Get();
    else if ((item.itemState & ODS_FOCUS) && m_focus)
        picture = m_focus.Get();
    if (!picture)
        return;
    BITMAP size{};
    GetObjectA(picture, sizeof size, &size);
    CMemoryDC memory(CreateCompatibleDC(item.hDC));
    if (!memory)
        return;
    CDCSelection selected(memory.Get(), picture);
    const RECT& area = item.rcItem;
    StretchBlt(item.hDC, area.left, area.top, area.right - area.left, area.bottom - area.top,
               memory.Get(), 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
}
