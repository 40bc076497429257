#include "addin/ButtonPicture.h"

#include "classlib/strings/CString.h"

HRESULT CButtonPicture::Create(UINT bitmapId)
{
    m_picture.Release();
    m_bitmap = nullptr;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(GetResourceModule(), MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, 0));
    if (!bitmap) {
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    m_description = PICTDESC{};
    m_description.cbSizeofstruct = sizeof(PICTDESC);
    m_description.picType = PICTYPE_BITMAP;
    m_description.bmp.hbitmap = bitmap;
    m_description.bmp.hpal = nullptr;
    // TRUE: the picture deletes the bitmap when it goes.
    HRESULT hr =
        OleCreatePictureIndirect(&m_description, IID_IPictureDisp, TRUE, m_picture.PutVoid());
    if (FAILED(hr) || !m_picture) {
        // No picture took the bitmap over.
        DeleteObject(bitmap);
        m_picture.Release();
        return FAILED(hr) ? hr : E_FAIL;
    }
    m_bitmap = bitmap;
    return S_OK;
}
