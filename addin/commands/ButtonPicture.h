// A command bar button's face, in the two forms Office takes it in: as OLE
// pictures (CButtonPicture, for the Picture and Mask properties) or packed
// as device-independent bitmaps (PackBitmap, PackMask: what a face pasted
// through the clipboard is made of).
#pragma once

#include <vector>

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "classlib/com/CComPtr.h"

// CButtonPicture: a bitmap of the add-in's resources as an OLE picture. The
// picture owns the bitmap once it exists; the object owns the picture.
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

// The packed device-independent form of a bitmap at bitCount bits a pixel:
// the 40-byte header, the colour table (2^bits entries up to 8 bits a pixel)
// and the bits. The bitmap must not be selected into a device context.
// False when the bitmap cannot be read whole.
bool PackBitmap(HBITMAP bitmap, WORD bitCount, std::vector<char>& block);

// The mask of a face, packed as a 1-bit bitmap: 1 where the face has its
// top-left pixel's colour (the background), 0 elsewhere.
bool PackMask(HBITMAP face, std::vector<char>& block);
