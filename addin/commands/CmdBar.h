// CCmdBar: the add-in's Office command bar on an explorer or inspector
// window, with the buttons it owns. The bar is found by name on the
// window's CommandBars, else added as a temporary bar at the top; deleting
// the wrapper deletes the Office bar and its buttons.
#pragma once

#include <windows.h>

#include "classlib/com/CComPtr.h"
#include "classlib/strings/CString.h"
#include "classlib/strings/CTypedPtrList.h"
#include "shared/config/CmdBarState.h"
#include "shared/outlook/Dispatcher.h"

class CCmdBtn;

class CCmdBar : public CDispatcher {
public:
    CCmdBar() = default;
    CCmdBar(const CCmdBar&) = delete;
    CCmdBar& operator=(const CCmdBar&) = delete;
    // Deletes the Office bar, then disconnects every button and lets it go.
    ~CCmdBar();

    // Finds or adds the bar named name on owner (an explorer or inspector,
    // not held). E_INVALIDARG for a null owner or name; E_UNEXPECTED when
    // this wrapper already has its bar; CommandBars' failure; E_FAIL when
    // the bar can be neither found nor added.
    HRESULT Create(IDispatch* owner, const char* name);
    // Puts the button on the bar: on a new control, or on the control that
    // already has its caption (which then carries the button's tag too),
    // and connects it to that control's clicks. The bar holds a reference
    // to the button from this call on, whatever it returns (a button made
    // with none is then the bar's alone). inspectorMode: a button of an
    // inspector (its clicks work on the inspector's item).
    HRESULT AddButton(CCmdBtn* button, BOOL inspectorMode);
    // Places the bar where the saved state says, and leaves it hidden.
    HRESULT Render(const CCmdBarState& state);
    // Shows or hides the named control, or with no name the whole bar.
    HRESULT SetVisibility(const char* controlName, BOOL visible);
    // Every button stops listening to its control.
    void DisconnectAll();

    IDispatch* GetCommandBar() const { return m_commandBar.Get(); }
    const CTypedPtrList<CCmdBtn>& GetButtons() const { return m_buttons; }

private:
    CTypedPtrList<CCmdBtn> m_buttons{Ownership::Borrowed}; // one reference held on each
    IDispatch* m_owner = nullptr;                          // the explorer or inspector; not held
    CString m_name;
    CComPtr<IDispatch> m_commandBar;
};
