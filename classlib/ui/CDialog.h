// CDialog: a dialog made from a template in the resource module
// (GetResourceModule), modal (DoModal) or modeless (Create). One dialog
// procedure serves every CDialog: it keeps `this` from WM_INITDIALOG on and
// hands the messages to the virtual handlers below; a notification of a
// child control is first offered to the control's own object (see CWnd).
// Handlers that want the dialog manager's own handling call Default(). No
// exception leaves the procedure: one thrown by a handler is caught and
// reported by the catch barrier (classlib/com/Barrier.h) and the message
// gets the default handling.
#pragma once

#include <windows.h>

#include "classlib/ui/CDataExchange.h"
#include "classlib/ui/CWnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;
    // A modeless dialog still open is destroyed.
    ~CDialog() override;

    // Runs the dialog modally; the value given to EndDialog, or -1 when the
    // template could not be loaded.
    virtual INT_PTR DoModal();
    // Opens the dialog modeless (shown when the template says WS_VISIBLE);
    // FALSE when the template could not be loaded.
    BOOL Create(HWND parent = nullptr);
    BOOL DestroyWindow();
    // Modal: ends the loop with the result. Modeless: keeps the result and
    // destroys the window.
    void EndDialog(int result);

    // Runs DoDataExchange in the direction asked; FALSE when a value did not
    // validate (the user has been told and sits in the offending control).
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    UINT GetTemplateId() const { return m_templateId; }
    // The value the dialog ended with (modeless: last EndDialog), else 0.
    INT_PTR GetResult() const { return m_result; }

protected:
    // Defaults: OnInitDialog fills the controls (UpdateData(FALSE)) and lets
    // the dialog manager focus the first control (TRUE). OnOK takes the
    // values and ends with IDOK when they validate; OnCancel ends with
    // IDCANCEL. OnCommand routes IDOK and IDCANCEL to them.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange& dx);
    // Return TRUE when handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // Return TRUE when handled, with the notification's answer in *result.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual void OnTimer(UINT_PTR id);
    // An override paints with BeginPaint/EndPaint; the default lets the
    // dialog manager paint.
    virtual void OnPaint();
    // Return nonzero when the background was erased.
    virtual BOOL OnEraseBkgnd(HDC dc);
    // Sees every message first (private WM_USER+n ones included). Return
    // TRUE with the answer in result to take it; FALSE passes it on to the
    // handlers above.
    virtual BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // From inside a handler: let the dialog manager handle this message too.
    void Default() { m_wantDefault = true; }

    // What a dialog procedure returns for the message once this object is
    // the window's: the handlers run behind the catch-all, and an answer
    // that goes to DWLP_MSGRESULT is put there. For the procedures of
    // dialogs made by others (property pages).
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool Route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    UINT m_templateId;
    HWND m_parent;
    bool m_modal = false;
    bool m_wantDefault = false;
    INT_PTR m_result = 0;
};
