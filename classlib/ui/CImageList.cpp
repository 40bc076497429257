#include "classlib/ui/CImageList.h"

#include <utility>

#include "classlib/strings/CString.h"
#include "classlib/ui/CommonControls.h"

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    if (m_list)
        return FALSE;
    InitCommonControlsOnce();
    m_list = ::ImageList_Create(cx, cy, flags, initial, grow);
    return m_list != nullptr;
}

BOOL CImageList::Create(UINT bitmapId, int cx, int grow, COLORREF mask)
{
    if (m_list)
        return FALSE;
    InitCommonControlsOnce();
    m_list = ::ImageList_LoadImageA(GetResourceModule(), MAKEINTRESOURCEA(bitmapId), cx, grow, mask,
                                    IMAGE_BITMAP, LR_CREATEDIBSECTION);
    return m_list != nullptr;
}

int CImageList::Add(HBITMAP bitmap, COLORREF mask)
{
    return m_list ? ::ImageList_AddMasked(m_list, bitmap, mask) : -1;
}

int CImageList::GetImageCount() const
{
    return m_list ? ::ImageList_GetImageCount(m_list) : 0;
}

BOOL CImageList::DeleteImageList()
{
    if (!m_list)
        return FALSE;
    BOOL destroyed = ::ImageList_Destroy(m_list);
    m_list = nullptr;
    return destroyed;
}

HIMAGELIST CImageList::Detach()
{
    return std::exchange(m_list, nullptr);
}
