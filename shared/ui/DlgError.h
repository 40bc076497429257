// CDlgError: tells the user that an operation failed, with a details text
// of the caller's choosing under the fixed message.
#pragma once

#include "classlib/ui/CDialog.h"
#include "classlib/ui/CStatic.h"

class CDlgError : public CDialog {
public:
    explicit CDlgError(HWND parent = nullptr);

    CString m_details;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    CStatic m_message;
};
