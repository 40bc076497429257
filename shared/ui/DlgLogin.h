// CDlgLogin: asks for the service credentials and checks them against the
// service while it stays open; it ends with IDOK only once the service has
// accepted them.
#pragma once

#include "classlib/ui/CDialog.h"
#include "classlib/ui/CStatic.h"
#include "shared/config/Credentials.h"
#include "shared/ui/PumpOp.h"

class CDlgLogin : public CDialog, public CPumpOp {
public:
    CDlgLogin(CWebSvrAPI* api, HWND parent = nullptr);

    // Prefilled by the caller; the values the service accepted after IDOK.
    CCredentials m_credentials;
    int m_remember = 0;

    // The login has come to its end: the dialog may close.
    BOOL OnOpDone() override { return TRUE; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR id) override;
    void OnPaint() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    CStatic m_picture;
};
