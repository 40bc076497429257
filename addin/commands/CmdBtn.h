// CCmdBtn: a command button of the add-in on an Office command bar, and the
// sink of that control's Click event. The click path is the same for every
// button: CanClick decides whether the command may run now; a button of an
// inspector first takes the inspector's current item, saves it and resolves
// its recipients (so the command sees the item as the user sees it); then
// OnClick runs the command. Buttons made for a ribbon press are never
// connected and go straight to OnClick.
//
// Several inspectors' buttons may sink the same control: each button has a
// tag text of its own, the control's tag holds the tags of the buttons on
// it, and a button acts on a click only when its tag is in the clicked
// control's tag and its inspector is the one the user clicked in.
#pragma once

#include <memory>

#include "addin/commands/ButtonPicture.h"
#include "addin/core/EventHandler.h"
#include "classlib/com/CVariant.h"
#include "classlib/strings/CString.h"

class CCmdBtn : public CEventHandler {
public:
    // The string-table id of the caption and the bitmap ids of the face and
    // its mask (0 for a button made for the ribbon).
    CCmdBtn(UINT captionId = 0, UINT faceId = 0, UINT maskId = 0);
    ~CCmdBtn() override;

    // Whether the command may run now; TRUE here.
    virtual BOOL CanClick() { return TRUE; }
    // The command; nothing here.
    virtual HRESULT OnClick() { return S_OK; }

    // The inspector's part of a click (nothing and 0 outside inspector
    // mode): the current item, the tag check, the save and the resolution
    // of the recipients. S_FALSE when the click belongs to another button
    // on the same control; otherwise the last call's result.
    HRESULT OnInspectorInvoke(IDispatch* control, BOOL checkTag);
    // Caption, icon-and-caption style, tag, face and visibility of a new
    // control. The first failure, except the face's: that is logged and the
    // button goes on without it.
    HRESULT SetupButton(IDispatch* control, BOOL pasteFace);
    // The face and its mask as pictures, or (pasteFace) through the
    // clipboard, which is given back afterwards.
    HRESULT SetFace(IDispatch* control, BOOL pasteFace);
    // The control's Tag becomes tag followed by the tag it had.
    HRESULT TagIt(IDispatch* control, const char* tag);

    UINT GetCaptionId() const { return m_captionId; }
    const CString& GetTag() const { return m_tag; }
    void SetTag(const char* tag) { m_tag = tag; }
    BOOL GetInspectorMode() const { return m_inspectorMode; }
    void SetInspectorMode(BOOL inspectorMode) { m_inspectorMode = inspectorMode; }
    IDispatch* GetOwnerWindow() const { return m_ownerWindow; }
    void SetOwnerWindow(IDispatch* window) { m_ownerWindow = window; }
    void SetSaveItem(BOOL save) { m_saveItem = save; }
    void SetResolveRecipients(BOOL resolve) { m_resolveRecipients = resolve; }
    // ResolveAll's last answer.
    BOOL GetAllResolved() const { return m_allResolved; }
    // The pictures SetFace made (null before, or after a pasted face).
    const CButtonPicture* GetFacePicture() const { return m_facePicture.get(); }
    const CButtonPicture* GetMaskPicture() const { return m_maskPicture.get(); }

    // The window the click acts in: the inspector the click took its item
    // from, else the bar's window, else the active explorer's.
    HWND DialogOwner() override;

    // {000C0351-0000-0000-C000-000000000046}: Office's command bar button events.
    static const IID kButtonEvents;

protected:
    // The Click event: Click(Ctrl, CancelDefault). CancelDefault is left alone.
    HRESULT OnInvoke(DISPID id, DISPPARAMS* params) override;
    const IID& GetEventIID() const override { return kButtonEvents; }

    BOOL m_saveItem = TRUE;
    BOOL m_allResolved = FALSE;
    CVariant m_recipients; // the current item's Recipients, during a click
    CVariant m_item;       // the active inspector's current item, during a click
    CVariant m_inspector;  // the inspector m_item came from, during a click
    std::unique_ptr<CButtonPicture> m_facePicture;
    std::unique_ptr<CButtonPicture> m_maskPicture;
    UINT m_captionId;
    UINT m_faceId;
    UINT m_maskId;
    IDispatch* m_ownerWindow = nullptr; // the explorer or inspector, from the bar; not held
    CString m_tag;
    BOOL m_inspectorMode = FALSE;
    BOOL m_resolveRecipients = TRUE;

private:
    HRESULT PasteFace(IDispatch* control);
};
