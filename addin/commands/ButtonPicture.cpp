#include "addin/commands/ButtonPicture.h"

#include "classlib/strings/CString.h"
#include "classlib/win32/Gdi.h"
#include "classlib/win32/LastError.h"

HRESULT CButtonPicture::Create(UINT bitmapId)
{
    m_picture.Release();
    m_bitmap = nullptr;
    CGdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(
        LoadImageA(GetResourceModule(), MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, 0)));
    if (!bitmap)
        return HResultFromLastError();
    m_description = PICTDESC{};
    m_description.cbSizeofstruct = sizeof(PICTDESC);
    m_description.picType = PICTYPE_BITMAP;
    m_description.bmp.hbitmap = bitmap.Get();
    m_description.bmp.hpal = nullptr;
    // TRUE: the picture deletes the bitmap when it goes.
    HRESULT hr =
        OleCreatePictureIndirect(&m_description, IID_IPictureDisp, TRUE, m_picture.PutVoid());
    if (FAILED(hr) || !m_picture) {
        // No picture took the bitmap over: its holder deletes it.
        m_picture.Release();
        return FAILED(hr) ? hr : E_FAIL;
    }
    m_bitmap = bitmap.Detach(); // the picture's now
    return S_OK;
}

bool PackBitmap(HBITMAP bitmap, WORD bitCount, std::vector<char>& block)
{
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof(info), &info))
        return false;
    const DWORD colours = bitCount <= 8 ? 1u << bitCount : 0;
    const LONG height = info.bmHeight;
    const DWORD rowBytes = ((static_cast<DWORD>(info.bmWidth) * bitCount + 31) / 32) * 4;
    const DWORD imageSize = rowBytes * static_cast<DWORD>(height);
    const size_t headerSize = sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD);
    block.assign(headerSize + imageSize, 0);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(block.data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = info.bmWidth;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = bitCount;
    header->biCompression = BI_RGB;
    int lines = 0;
    {
        CWindowDC screen(nullptr);
        lines =
            GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(height), block.data() + headerSize,
                      reinterpret_cast<BITMAPINFO*>(block.data()), DIB_RGB_COLORS);
    }
    // The driver may leave the image size out.
    header = reinterpret_cast<BITMAPINFOHEADER*>(block.data());
    if (!header->biSizeImage)
        header->biSizeImage = imageSize;
    header->biClrUsed = 0;
    return lines == height;
}

bool PackMask(HBITMAP face, std::vector<char>& block)
{
    BITMAP info{};
    if (!GetObjectW(face, sizeof(info), &info))
        return false;
    CGdiObject<HBITMAP> mask(CreateBitmap(info.bmWidth, info.bmHeight, 1, 1, nullptr));
    CMemoryDC faceDC(CreateCompatibleDC(nullptr));
    CMemoryDC maskDC(CreateCompatibleDC(nullptr));
    if (!mask || !faceDC || !maskDC)
        return false;
    BOOL copied = FALSE;
    {
        // Both bitmaps leave their device contexts before the mask is packed.
        CDCSelection faceIn(faceDC.Get(), face);
        CDCSelection maskIn(maskDC.Get(), mask.Get());
        // Copying colour to monochrome turns the source's background colour into 1.
        SetBkColor(faceDC.Get(), GetPixel(faceDC.Get(), 0, 0));
        SetTextColor(faceDC.Get(), RGB(255, 255, 255));
        copied =
            BitBlt(maskDC.Get(), 0, 0, info.bmWidth, info.bmHeight, faceDC.Get(), 0, 0, SRCCOPY);
    }
    return copied && PackBitmap(mask.Get(), 1, block);
}
