// The editor's own error dialog: a message line of the caller's (empty
// leaves it empty) above a details field. Apart from its message boxes, the
// only way the editor reports a failure.
#pragma once

#include "classlib/ui/CDialog.h"

namespace editor {

class CDlgError : public CDialog {
public:
    explicit CDlgError(HWND parent = nullptr);

    // Shows the dialog with these texts; returns when the user closed it.
    static void Show(HWND parent, const CString& message, const CString& details);

    CString m_details;
    CString m_message;

protected:
    void DoDataExchange(CDataExchange& dx) override;
};

} // namespace editor
