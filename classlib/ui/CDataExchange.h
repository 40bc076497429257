// CDataExchange: one pass of moving values between a dialog's members and its
// controls, in the direction UpdateData asked for. The DDX_ functions below
// do one control each; after the first value that does not validate the pass
// is failed and the rest of the pass does nothing.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

class CWnd;

class CDataExchange {
public:
    // saveAndValidate TRUE: controls to members; FALSE: members to controls.
    CDataExchange(HWND dialog, BOOL saveAndValidate)
        : m_hDlg(dialog), m_bSaveAndValidate(saveAndValidate)
    {}
    CDataExchange(const CDataExchange&) = delete;
    CDataExchange& operator=(const CDataExchange&) = delete;

    // The control with that id; null when the pass has already failed, or
    // (failing the pass) when the dialog has none.
    HWND PrepareCtrl(int id);
    // Gives the user the offending control and ends the pass as failed.
    void Fail(HWND control);
    bool Failed() const { return m_failed; }

    HWND m_hDlg;
    BOOL m_bSaveAndValidate;

private:
    bool m_failed = false;
};

// Edit text <-> string.
void DDX_Text(CDataExchange& dx, int id, CString& value);
// Edit text <-> whole number. Text that is not one shows the user a message
// box and fails the pass.
void DDX_Text(CDataExchange& dx, int id, int& value);
// Check box state (BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE) <-> int.
void DDX_Check(CDataExchange& dx, int id, int& value);
// Binds a view to the control (once; later passes leave it alone).
void DDX_Control(CDataExchange& dx, int id, CWnd& control);
