// The controls of an Office command bar and its plain button. A control is
// found by its caption (any case) or its 1-based index; an unknown caption
// is an automation exception carrying E_INVALIDARG, as Office answers it.
//
// The button keeps what an add-in gave it so tests can look: its caption,
// style, tag, visibility, the Picture and Mask objects (taken as pictures,
// by value or by reference), and the face that PasteFace took from the
// clipboard. Click() is the user's click: it fires the button events'
// Click(Ctrl, CancelDefault) to every advised sink.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "classlib/com/CComPtr.h"
#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CCommandBar;
class CCommandBarButton;

// Office's control types (msoControlButton is the only one served).
inline constexpr long kControlButton = 1;

class CCommandBarControls : public CAutoObject {
public:
    explicit CCommandBarControls(CCommandBar* bar);

    // A button as Add(1) makes it.
    CCommandBarButton* AddButton();
    // The first control with that caption (any case), or null.
    CCommandBarButton* Find(const std::wstring& caption) const;
    size_t Count() const { return m_controls.size(); }
    CCommandBarButton* At(size_t index) const { return m_controls[index].Get(); }

protected:
    ~CCommandBarControls() override;

private:
    friend class CCommandBarButton;
    friend class CCommandBar;
    void Remove(CCommandBarButton* control);
    void Orphan(); // the bar has gone

    CCommandBar* m_bar; // not held: the bar holds its controls
    std::vector<CComPtr<CCommandBarButton>> m_controls;
};

class CCommandBarButton : public CAutoObject {
public:
    explicit CCommandBarButton(CCommandBarControls* owner);

    // The user clicks the button: every advised sink gets Click(this,
    // CancelDefault). The CancelDefault the sinks left.
    bool Click();

    const std::wstring& Caption() const { return m_caption; }
    const std::wstring& Tag() const { return m_tag; }
    long Style() const { return m_style; }
    bool Visible() const { return m_visible; }
    bool Enabled() const { return m_enabled; }
    IPictureDisp* Picture() const { return m_picture.Get(); }
    IPictureDisp* Mask() const { return m_mask.Get(); }
    // The face PasteFace took: a packed device-independent bitmap (header,
    // colours, bits) as the clipboard held it; empty before any paste.
    const std::string& PastedFace() const { return m_pastedFace; }
    // The "Toolbar Button Mask" block that came with it, when there was one.
    const std::string& PastedMask() const { return m_pastedMask; }
    // The clipboard format the face was taken from (0 before any paste).
    UINT PastedFormat() const { return m_pastedFormat; }
    bool Deleted() const { return m_deleted; }

protected:
    ~CCommandBarButton() override;

private:
    friend class CCommandBarControls;
    void PasteFace();
    static CComPtr<IPictureDisp> TakePicture(CCall& call);

    CCommandBarControls* m_owner; // not held: the controls hold their buttons
    std::wstring m_caption;
    std::wstring m_tag;
    long m_style = 0; // msoButtonAutomatic
    bool m_visible = true;
    bool m_enabled = true;
    CComPtr<IPictureDisp> m_picture;
    CComPtr<IPictureDisp> m_mask;
    std::string m_pastedFace;
    std::string m_pastedMask;
    UINT m_pastedFormat = 0;
    bool m_deleted = false;
};

} // namespace standin
