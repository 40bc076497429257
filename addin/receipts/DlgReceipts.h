// CDlgReceipts: the receipt import's progress dialog. It makes one task
// per posted message, so it stays responsive while it works, shows how
// far it has come and ends by itself when the last receipt is done.
#pragma once

#include "addin/core/WindowMessages.h"
#include "classlib/ui/CDialog.h"
#include "classlib/ui/CProgressCtrl.h"
#include "classlib/ui/CStatic.h"

class CReceiptMgr;

class CDlgReceipts : public CDialog {
public:
    // Makes the next receipt's task (wParam and lParam unused).
    static constexpr UINT kStepMessage = WM_STEP_RUN;

    // manager: the receipts to import (not owned); Cancel leaves those not
    // yet done in it.
    explicit CDlgReceipts(CReceiptMgr* manager, HWND parent = nullptr);

protected:
    BOOL OnInitDialog() override;
    BOOL OnEraseBkgnd(HDC dc) override;
    void OnPaint() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // One receipt made into a task, or the end.
    void OnStepRun();

private:
    void SetStatus(const char* text);

    CReceiptMgr* m_manager;
    bool m_started = false;
    int m_total = -1;
    int m_done = 0;
    CStatic m_picture;
    CProgressCtrl m_progress;
    CWnd m_status;
};
