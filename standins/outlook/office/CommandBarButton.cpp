#include "standins/outlook/office/CommandBarButton.h"

#include <algorithm>

#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/office/CommandBars.h"

namespace standin {

namespace {

constexpr wchar_t kInvalidArgument[] = L"Invalid procedure call or argument";
constexpr wchar_t kPasteFaceFailed[] = L"Method 'PasteFace' of object '_CommandBarButton' failed";

// The bytes of a clipboard block, when the format is there.
bool ReadClipboardBlock(UINT format, std::string& bytes)
{
    HANDLE data = GetClipboardData(format);
    if (!data)
        return false;
    const SIZE_T size = GlobalSize(data);
    const void* p = GlobalLock(data);
    if (!p)
        return false;
    bytes.assign(static_cast<const char*>(p), size);
    GlobalUnlock(data);
    return true;
}

// Holds the clipboard open for a scope.
class CClipboardReader {
public:
    CClipboardReader() : m_open(OpenClipboard(nullptr) != FALSE) {}
    CClipboardReader(const CClipboardReader&) = delete;
    CClipboardReader& operator=(const CClipboardReader&) = delete;
    ~CClipboardReader()
    {
        if (m_open)
            CloseClipboard();
    }
    bool IsOpen() const { return m_open; }

private:
    bool m_open;
};

} // namespace

CCommandBarControls::CCommandBarControls(CCommandBar* bar)
    : CAutoObject(L"CommandBarControls"), m_bar(bar)
{
    Indexed(L"Item", 1, 1, [this](CCall& call) {
        const VARIANT& index = call.Arg(0);
        CCommandBarButton* control = nullptr;
        if (index.vt == VT_BSTR) {
            control = Find(
                std::wstring(index.bstrVal ? index.bstrVal : L"", SysStringLen(index.bstrVal)));
        } else {
            const long number = call.Long(0);
            if (number >= 1 && static_cast<size_t>(number) <= m_controls.size())
                control = m_controls[static_cast<size_t>(number - 1)].Get();
        }
        if (!control)
            Fail(E_INVALIDARG, kInvalidArgument);
        call.Return(control);
    });
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(m_controls.size())); });
    // Add(Type, Id, Parameter, Before, Temporary): only plain buttons here.
    Method(L"Add", 0, 5, [this](CCall& call) {
        if (call.Long(0, kControlButton) != kControlButton)
            Fail(E_INVALIDARG, kInvalidArgument);
        size_t at = m_controls.size();
        if (call.Has(3)) {
            const long before = call.Long(3);
            if (before < 1 || static_cast<size_t>(before) > m_controls.size() + 1)
                Fail(E_INVALIDARG, kInvalidArgument);
            at = static_cast<size_t>(before - 1);
        }
        auto control = New<CCommandBarButton>(this);
        m_controls.insert(m_controls.begin() + static_cast<ptrdiff_t>(at), control);
        call.Return(control.Get());
    });
}

CCommandBarControls::~CCommandBarControls()
{
    for (auto& control : m_controls)
        control->m_owner = nullptr;
}

CCommandBarButton* CCommandBarControls::AddButton()
{
    m_controls.push_back(New<CCommandBarButton>(this));
    return m_controls.back().Get();
}

CCommandBarButton* CCommandBarControls::Find(const std::wstring& caption) const
{
    for (const auto& control : m_controls)
        if (SameName(control->Caption(), caption))
            return control.Get();
    return nullptr;
}

void CCommandBarControls::Remove(CCommandBarButton* control)
{
    auto it = std::find_if(m_controls.begin(), m_controls.end(),
                           [control](const auto& c) { return c == control; });
    if (it == m_controls.end())
        return;
    CComPtr<CCommandBarButton> leaving = std::move(*it);
    m_controls.erase(it);
    leaving->m_owner = nullptr;
}

void CCommandBarControls::Orphan()
{
    m_bar = nullptr;
}

CCommandBarButton::CCommandBarButton(CCommandBarControls* owner)
    : CAutoObject(L"CommandBarButton"), m_owner(owner)
{
    AddEventSource(kCommandBarButtonEvents);
    Property(
        L"Caption", [this](CCall& call) { call.Return(m_caption); },
        [this](CCall& call) { m_caption = call.ValueText(); });
    Property(
        L"Tag", [this](CCall& call) { call.Return(m_tag); },
        [this](CCall& call) { m_tag = call.ValueText(); });
    Property(
        L"Style", [this](CCall& call) { call.Return(m_style); },
        [this](CCall& call) { m_style = call.ValueLong(); });
    Property(
        L"Visible", [this](CCall& call) { call.ReturnBool(m_visible); },
        [this](CCall& call) { m_visible = call.ValueBool(); });
    Property(
        L"Enabled", [this](CCall& call) { call.ReturnBool(m_enabled); },
        [this](CCall& call) { m_enabled = call.ValueBool(); });
    Property(
        L"Picture", [this](CCall& call) { call.Return(static_cast<IDispatch*>(m_picture.Get())); },
        [this](CCall& call) { m_picture = TakePicture(call); }, true);
    Property(
        L"Mask", [this](CCall& call) { call.Return(static_cast<IDispatch*>(m_mask.Get())); },
        [this](CCall& call) { m_mask = TakePicture(call); }, true);
    Method(L"PasteFace", 0, 0, [this](CCall&) { PasteFace(); });
    Method(L"Delete", 0, 1, [this](CCall&) {
        m_deleted = true;
        if (m_owner)
            m_owner->Remove(this);
    });
}

CCommandBarButton::~CCommandBarButton() = default;

CComPtr<IPictureDisp> CCommandBarButton::TakePicture(CCall& call)
{
    CComPtr<IPictureDisp> picture;
    IDispatch* object = call.ValueObject();
    if (object && FAILED(object->QueryInterface(IID_IPictureDisp, picture.PutVoid())))
        Fail(DISP_E_TYPEMISMATCH, L"Type mismatch");
    return picture;
}

void CCommandBarButton::PasteFace()
{
    // Office takes its own face format first and a plain bitmap else.
    CClipboardReader clipboard;
    if (!clipboard.IsOpen())
        Fail(E_FAIL, kPasteFaceFailed);
    const UINT faceFormat = RegisterClipboardFormatW(L"Toolbar Button Face");
    const UINT maskFormat = RegisterClipboardFormatW(L"Toolbar Button Mask");
    std::string face;
    UINT format = 0;
    if (ReadClipboardBlock(faceFormat, face))
        format = faceFormat;
    else if (ReadClipboardBlock(CF_DIB, face))
        format = CF_DIB;
    if (!format || face.size() < sizeof(BITMAPINFOHEADER))
        Fail(E_FAIL, kPasteFaceFailed);
    std::string mask;
    ReadClipboardBlock(maskFormat, mask);
    m_pastedFace = std::move(face);
    m_pastedMask = std::move(mask);
    m_pastedFormat = format;
}

bool CCommandBarButton::Click()
{
    VARIANT_BOOL cancel = VARIANT_FALSE;
    CVariant cancelArg;
    cancelArg.vt = VT_BOOL | VT_BYREF;
    cancelArg.pboolVal = &cancel;
    Fire(kCommandBarButtonEvents, kDispClick, {CVariant(Dispatch()), cancelArg});
    return cancel != VARIANT_FALSE;
}

} // namespace standin
