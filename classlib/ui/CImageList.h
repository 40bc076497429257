// CImageList: owns an image list (HIMAGELIST) of equally sized images; the
// destructor destroys it. A control that shows it only borrows it: the
// list must outlive the control, and a list view showing it needs the
// LVS_SHAREIMAGELISTS style, or it destroys the list itself as it goes.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

class CImageList {
public:
    CImageList() = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;
    ~CImageList() { DeleteImageList(); }

    // An empty list of cx by cy images (ILC_* flags). FALSE on failure or
    // when this object already holds one.
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // A list cut from a bitmap resource of the resource module, images cx
    // pixels wide, the colour mask transparent.
    BOOL Create(UINT bitmapId, int cx, int grow, COLORREF mask);
    // Appends the bitmap's images; the index of the first, or -1.
    int Add(HBITMAP bitmap, COLORREF mask);
    int GetImageCount() const;
    BOOL DeleteImageList();
    HIMAGELIST GetSafeHandle() const { return m_list; }
    operator HIMAGELIST() const { return m_list; }
    // Hands the list away; this object holds none afterwards.
    HIMAGELIST Detach();

private:
    HIMAGELIST m_list = nullptr;
};
