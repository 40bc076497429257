#include "addin/receipts/DlgReceipts.h"

#include <memory>

#include "addin/AddinResource.h"
#include "addin/receipts/ReceiptMgr.h"
#include "addin/receipts/SetAside.h"
#include "classlib/win32/Gdi.h"
#include "shared/ui/Banner.h"
#include "shared/SharedResource.h"
#include "shared/log/DebugLog.h"

CDlgReceipts::CDlgReceipts(CReceiptMgr* manager, HWND parent)
    : CDialog(IDD_RECEIPTS, parent), m_manager(manager)
{}

BOOL CDlgReceipts::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_picture.Attach(GetDlgItem(IDC_RECEIPTS_PICTURE));
    m_progress.Attach(GetDlgItem(IDC_RECEIPTS_PROGRESS));
    m_status.Attach(GetDlgItem(IDC_RECEIPTS_STATUS));
    // The frame only marks where the banner is painted.
    m_picture.ShowWindow(SW_HIDE);
    m_progress.SetRange(0, 100);
    SetWindowText("Quillet: Importing Broadcast Receipts");
    return TRUE;
}

BOOL CDlgReceipts::OnEraseBkgnd(HDC dc)
{
    // The work starts once the dialog is up to be seen.
    if (!m_started) {
        m_started = true;
        PostMessage(kStepMessage);
    }
    return CDialog::OnEraseBkgnd(dc);
}

void CDlgReceipts::OnPaint()
{
    CPaintDC dc(GetSafeHwnd());
    PaintBanner(GetSafeHwnd(), m_picture.GetSafeHwnd(), dc.Get(), BannerFit::Frame);
}

BOOL CDlgReceipts::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result)
{
    if (message != kStepMessage)
        return FALSE;
    OnStepRun();
    result = 0;
    return TRUE;
}

void CDlgReceipts::SetStatus(const char* text)
{
    m_status.SetWindowText(text);
    m_status.UpdateWindow();
}

void CDlgReceipts::OnStepRun()
{
    if (!m_manager) {
        EndDialog(IDCANCEL);
        return;
    }
    CReceiptMgr::ReceiptList& receipts = m_manager->Receipts();
    if (m_total < 0)
        m_total = static_cast<int>(receipts.size());
    if (receipts.empty() || m_total <= 0) {
        m_progress.SetPos(100);
        SetStatus("Done");
        EndDialog(IDOK);
        return;
    }
    SetStatus("Importing Task Receipts...");
    std::unique_ptr<CQuilletReceipt> receipt = std::move(receipts.front());
    receipts.pop_front();
    // A receipt whose task could not be made keeps its file, set aside: a
    // task that fails now would fail on every selection change (each try
    // leaving a mail copy behind) until something changes the file. The
    // dialog goes on with the others.
    if (FAILED(receipt->GenerateTaskReceipt()))
        SetReceiptAside(receipt->GetFilePath(), SetAsideReason::Failed,
                        "could not be made into a task");
    receipt.reset();
    ++m_done;
    m_progress.SetPos(m_done * 100 / m_total);
    // Posted steps come before any painting in the queue: without this the
    // dialog's banner and button would not show until the import ends.
    ::RedrawWindow(GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    PostMessage(kStepMessage);
}
