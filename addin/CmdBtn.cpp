#include "addin/CmdBtn.h"

#include <cstring>
#include <new>
#include <vector>

#include "shared/outlook/AutomationValues.h"
#include "addin/ClipBack.h"
#include "classlib/com/Barrier.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/HResult.h"
#include "shared/log/DebugLog.h"

using namespace automation;

const IID CCmdBtn::kButtonEvents = {0x000c0351, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

// Office's msoButtonIconAndCaption.
constexpr long kStyleIconAndCaption = 3;
constexpr DISPID kClick = 1;

const CEventEntry kButtonEventTable[] = {
    {kClick, 2, "Click"},
    {0, 0, nullptr},
};

HRESULT LastError()
{
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// Owns a global memory block until the clipboard takes it.
class CGlobalBlock {
public:
    explicit CGlobalBlock(SIZE_T size) : m_block(GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, size)) {}
    CGlobalBlock(const CGlobalBlock&) = delete;
    CGlobalBlock& operator=(const CGlobalBlock&) = delete;
    ~CGlobalBlock()
    {
        if (m_block)
            GlobalFree(m_block);
    }
    bool IsValid() const { return m_block != nullptr; }
    HGLOBAL Get() const { return m_block; }
    // Puts the block on the (open) clipboard; it is the clipboard's then.
    HRESULT HandTo(UINT format)
    {
        if (!SetClipboardData(format, m_block))
            return LastError();
        m_block = nullptr;
        return S_OK;
    }

private:
    HGLOBAL m_block;
};

// Owns a memory device context.
class CMemoryDC {
public:
    CMemoryDC() : m_dc(CreateCompatibleDC(nullptr)) {}
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;
    ~CMemoryDC()
    {
        if (m_dc)
            DeleteDC(m_dc);
    }
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
};

// Owns a GDI object.
template <class T>
class CGdiObject {
public:
    explicit CGdiObject(T object) : m_object(object) {}
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    ~CGdiObject()
    {
        if (m_object)
            DeleteObject(m_object);
    }
    T Get() const { return m_object; }

private:
    T m_object;
};

// The packed device-independent form of a bitmap: the 40-byte header, the
// colour table (2^bits entries up to 8 bits a pixel) and the bits. The
// bitmap must not be selected into a device context.
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
    HDC screen = GetDC(nullptr);
    const int lines =
        GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), block.data() + headerSize,
                  reinterpret_cast<BITMAPINFO*>(block.data()), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    // The driver may leave the image size out.
    header = reinterpret_cast<BITMAPINFOHEADER*>(block.data());
    if (!header->biSizeImage)
        header->biSizeImage = imageSize;
    header->biClrUsed = 0;
    return lines == height;
}

// The mask of a face: 1 where the face has its top-left pixel's colour
// (the background), 0 elsewhere; a 1-bit packed bitmap.
bool PackMask(HBITMAP face, std::vector<char>& block)
{
    BITMAP info{};
    if (!GetObjectW(face, sizeof(info), &info))
        return false;
    CGdiObject<HBITMAP> mask(CreateBitmap(info.bmWidth, info.bmHeight, 1, 1, nullptr));
    CMemoryDC faceDC;
    CMemoryDC maskDC;
    if (!mask.Get() || !faceDC.Get() || !maskDC.Get())
        return false;
    HGDIOBJ oldFace = SelectObject(faceDC.Get(), face);
    HGDIOBJ oldMask = SelectObject(maskDC.Get(), mask.Get());
    // Copying colour to monochrome turns the source's background colour into 1.
    SetBkColor(faceDC.Get(), GetPixel(faceDC.Get(), 0, 0));
    SetTextColor(faceDC.Get(), RGB(255, 255, 255));
    const BOOL copied =
        BitBlt(maskDC.Get(), 0, 0, info.bmWidth, info.bmHeight, faceDC.Get(), 0, 0, SRCCOPY);
    SelectObject(maskDC.Get(), oldMask);
    SelectObject(faceDC.Get(), oldFace);
    return copied && PackBitmap(mask.Get(), 1, block);
}

HRESULT PutBlock(UINT format, const std::vector<char>& bytes)
{
    if (!format)
        return LastError();
    CGlobalBlock block(bytes.size());
    if (!block.IsValid())
        return E_OUTOFMEMORY;
    void* to = GlobalLock(block.Get());
    if (!to)
        return E_OUTOFMEMORY;
    std::memcpy(to, bytes.data(), bytes.size());
    GlobalUnlock(block.Get());
    return block.HandTo(format);
}

// Empties the clipboard and puts the face on it as Office reads faces.
HRESULT PutFaceOnClipboard(HWND owner, HBITMAP face)
{
    BITMAP info{};
    if (!GetObjectW(face, sizeof(info), &info))
        return E_FAIL;
    std::vector<char> dib;
    std::vector<char> mask;
    if (!PackBitmap(face, static_cast<WORD>(info.bmBitsPixel * info.bmPlanes), dib) ||
        !PackMask(face, mask))
        return E_FAIL;
    CClipboardLock clipboard(owner);
    if (!clipboard.IsOpen())
        return LastError();
    if (!EmptyClipboard())
        return LastError();
    RETURN_IF_FAILED(PutBlock(CF_DIB, dib));
    RETURN_IF_FAILED(PutBlock(RegisterClipboardFormatA("Toolbar Button Face"), dib));
    return PutBlock(RegisterClipboardFormatA("Toolbar Button Mask"), mask);
}

} // namespace

CCmdBtn::CCmdBtn(UINT captionId, UINT faceId, UINT maskId)
    : CEventHandler(kButtonEventTable), m_captionId(captionId), m_faceId(faceId), m_maskId(maskId)
{}

CCmdBtn::~CCmdBtn() = default;

HRESULT CCmdBtn::OnInvoke(DISPID, DISPPARAMS* params)
{
    CLogBlock block("CCmdBtn::OnInvoke");
    const HRESULT hr = CatchAtEdge("CCmdBtn::OnInvoke", [&] {
        if (!CanClick())
            return S_OK;
        m_recipients.Clear();
        m_item.Clear();
        HRESULT clicked = S_OK;
        if (IsConnected())
            clicked = OnInspectorInvoke(EventObject(params, 0, 2), TRUE);
        if (clicked == S_OK)
            clicked = OnClick();
        return clicked;
    });
    // The click is over: the item and its recipients are not held past it.
    m_recipients.Clear();
    m_item.Clear();
    return hr;
}

HRESULT CCmdBtn::OnInspectorInvoke(IDispatch* control, BOOL checkTag)
{
    CLogBlock block("CCmdBtn::OnInspectorInvoke");
    if (!m_inspectorMode)
        return S_OK;
    try {
        CVariant inspector;
        THROW_IF_FAILED(CallMethod(m_application, L"ActiveInspector", inspector.Put(), 0, nullptr));
        if (!IsObject(inspector))
            ThrowHResult(E_FAIL, "no active inspector");
        TheLog().Comment("Getting CurrentItem");
        THROW_IF_FAILED(GetProp(inspector.pdispVal, L"CurrentItem", m_item.Put()));
        if (!IsObject(m_item))
            ThrowHResult(E_FAIL, "no current item");
        if (checkTag) {
            CVariant tag;
            if (FAILED(GetProp(control, L"Tag", tag.Put())) || tag.vt != VT_BSTR)
                return S_OK;
            const CString controlTag = CBstr::ToNarrow(tag.bstrVal, SysStringLen(tag.bstrVal));
            // Another inspector's button on the same control: not ours.
            // Where inspectors share their bars (Word's), every button on the
            // control carries its tag in the control's; then the click is
            // the one of the inspector it was made in, the active one.
            if (controlTag.Find(m_tag) < 0 ||
                (m_ownerWindow && !SameObject(m_ownerWindow, inspector.pdispVal))) {
                m_item.Clear();
                return S_FALSE;
            }
        }
        HRESULT hr = S_OK;
        if (m_saveItem) {
            TheLog().Comment("Saving Item");
            hr = CallMethod(m_item.pdispVal, L"Save", nullptr, 0, nullptr);
        }
        if (m_resolveRecipients) {
            TheLog().Comment("Fetching Item Recipeints");
            THROW_IF_FAILED(GetProp(m_item.pdispVal, L"Recipients", m_recipients.Put()));
            if (!IsObject(m_recipients))
                ThrowHResult(E_FAIL, "no recipients");
            TheLog().Comment("Resolving Item Recipeints");
            CVariant answer;
            hr = CallMethod(m_recipients.pdispVal, L"ResolveAll", answer.Put(), 0, nullptr);
            THROW_IF_FAILED(hr);
            CVariant resolved;
            m_allResolved = SUCCEEDED(VariantChangeType(&resolved, &answer, 0, VT_BOOL)) &&
                            resolved.boolVal != VARIANT_FALSE;
        }
        return hr;
    } catch (const CHResultError& error) {
        TheLog().HResult("CCmdBtn::OnInspectorInvoke", error.hr);
        return error.hr;
    }
}

HRESULT CCmdBtn::SetupButton(IDispatch* control, BOOL pasteFace)
{
    CString caption;
    caption.LoadString(m_captionId);
    RETURN_IF_FAILED(PutText(control, L"Caption", caption));
    RETURN_IF_FAILED(PutLong(control, L"Style", kStyleIconAndCaption));
    if (!m_tag.IsEmpty())
        RETURN_IF_FAILED(PutText(control, L"Tag", m_tag));
    // A button without its face still works; one left invisible or
    // unconnected for want of a face (the clipboard busy, say) would be a
    // caption that does nothing.
    const HRESULT face = SetFace(control, pasteFace);
    if (FAILED(face))
        TheLog().HResult("CCmdBtn::SetFace", face);
    return PutLong(control, L"Visible", 1);
}

HRESULT CCmdBtn::SetFace(IDispatch* control, BOOL pasteFace)
{
    if (pasteFace)
        return PasteFace(control);
    std::unique_ptr<CButtonPicture> face(new (std::nothrow) CButtonPicture);
    std::unique_ptr<CButtonPicture> mask(new (std::nothrow) CButtonPicture);
    if (!face || !mask)
        return E_OUTOFMEMORY;
    RETURN_IF_FAILED(face->Create(m_faceId));
    RETURN_IF_FAILED(mask->Create(m_maskId));
    m_facePicture = std::move(face);
    m_maskPicture = std::move(mask);
    CVariant picture(static_cast<IDispatch*>(m_facePicture->Get()));
    RETURN_IF_FAILED(PutProp(control, L"Picture", &picture));
    CVariant maskPicture(static_cast<IDispatch*>(m_maskPicture->Get()));
    return PutProp(control, L"Mask", &maskPicture);
}

HRESULT CCmdBtn::PasteFace(IDispatch* control)
{
    // Without a copy of the user's clipboard it stays untouched.
    CClipBack saved;
    RETURN_IF_FAILED(saved.Saved());
    CGdiObject<HBITMAP> face(static_cast<HBITMAP>(
        LoadImageA(GetResourceModule(), MAKEINTRESOURCEA(m_faceId), IMAGE_BITMAP, 0, 0,
                   LR_LOADMAP3DCOLORS | LR_CREATEDIBSECTION)));
    if (!face.Get())
        return LastError();
    HRESULT hr = PutFaceOnClipboard(saved.Owner(), face.Get());
    if (SUCCEEDED(hr))
        hr = CallMethod(control, L"PasteFace", nullptr, 0, nullptr);
    const HRESULT restored = saved.Restore();
    if (FAILED(restored))
        TheLog().HResult("CCmdBtn::SetFace", restored);
    return FAILED(hr) ? hr : restored;
}

HRESULT CCmdBtn::TagIt(IDispatch* control, const char* tag)
{
    CString text(tag);
    CVariant current;
    if (SUCCEEDED(GetProp(control, L"Tag", current.Put())) && current.vt == VT_BSTR &&
        SysStringLen(current.bstrVal))
        text += CBstr::ToNarrow(current.bstrVal, SysStringLen(current.bstrVal));
    const HRESULT hr = PutText(control, L"Tag", text);
    if (FAILED(hr))
        TheLog().HResult("CCmdBtn::TagIt", hr);
    return hr;
}
