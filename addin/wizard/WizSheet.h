// CWizSheet: the send wizard. It holds the request the pages shape (a
// working copy of the send's template), the request as it was before the
// wizard, and the template library; it runs modally as a wizard with a
// status bar along its bottom, where an operation a page starts on the
// sheet's runner shows its progress.
#pragma once

#include "classlib/ui/CPropertySheet.h"
#include "shared/config/Credentials.h"
#include "shared/requests/TempMgr.h"
#include "shared/requests/Template.h"
#include "shared/ui/PumpOp.h"

class CWebSvrAPI;
class CWizPage;

class CWizSheet : public CPropertySheet, public CPumpOp {
public:
    // credentials: the sending button's, kept by the caller.
    CWizSheet(CCredentials* credentials, CWebSvrAPI* api, UINT captionId, HWND parent,
              UINT firstPage = 0);

    // Appends a page; the page learns this sheet.
    void AddPage(CWizPage* page);

    // An operation of the runner has ended: its status is cleared and the
    // page that waits for it is told. Always finished (the wizard stays).
    BOOL OnOpDone() override;
    // Starts op (owned from now on) on the runner for page, which gets
    // OnOpDone when it ends.
    void StartOp(CWebSvrOp* op, CWizPage* page);

    CCredentials* m_credentials;
    CTemplate m_request; // what the pages shape
    CTemplate m_saved;   // the request as it was before the wizard
    CTempMgr m_library;  // filled by the template page
    CWizPage* m_waitingPage = nullptr;

protected:
    BOOL OnInitDialog() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
