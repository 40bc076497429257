#include "addin/commands/CmdBtn.h"

#include <new>

#include "shared/outlook/AutomationValues.h"
#include "addin/commands/ClipBack.h"
#include "classlib/com/Barrier.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/HResult.h"
#include "classlib/win32/Gdi.h"
#include "classlib/win32/LastError.h"
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
        m_inspector.Clear();
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
    m_inspector.Clear();
    return hr;
}

HWND CCmdBtn::DialogOwner()
{
    IDispatch* window = IsObject(m_inspector) ? m_inspector.pdispVal : m_ownerWindow;
    return CDispatcher::GetOwnerWindow(m_application, window);
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
        m_inspector = inspector;
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
    if (!face)
        return HResultFromLastError();
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
