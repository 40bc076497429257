// CDlgDelete: asks whether to delete something; IDOK means yes.
#pragma once

#include "classlib/ui/CDialog.h"

class CDlgDelete : public CDialog {
public:
    explicit CDlgDelete(HWND parent = nullptr);

    CString m_question; // shown in place of the template's text

protected:
    void DoDataExchange(CDataExchange& dx) override;
};
