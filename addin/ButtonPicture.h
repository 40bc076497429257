// CButtonPicture: a bitmap of the add-in's resources as an OLE picture, the
// form a command bar button takes its Picture and Mask in. The picture owns
// the bitmap once it exists; the object owns the picture.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "classlib/com/CComPtr.h"

class CButtonPicture {
public:
    CButtonPicture() = default;
    CButtonPicture(const CButtonPicture&) = delete;
    CButtonPicture& operator=(const CButtonPicture&) = delete;
    ~CButtonPicture() = default;

    // Loads bitmap resource id of the resource module and makes the picture.
    // E_FAIL (or the loader's code) when the bitmap cannot be loaded, else
    // OleCreatePictureIndirect's result.
    HRESULT Create(UINT bitmapId);

    IPictureDisp* Get() const { return m_picture.Get(); }
    // The picture's bitmap; it goes with the picture.
    HBITMAP Bitmap() const { return m_bitmap; }

private:
    CComPtr<IPictureDisp> m_picture;
    PICTDESC m_description{};
    HBITMAP m_bitmap = nullptr;
};
