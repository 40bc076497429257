#include "addin/send/DlgSteps.h"
#include "classlib/ui/ScreenDpi.h"

#include <commctrl.h>

#include "addin/AddinResource.h"
#include "classlib/strings/LoadText.h"
#include "classlib/win32/CRegKey.h"
#include "classlib/win32/Gdi.h"
#include "shared/ui/Banner.h"
#include "shared/SharedResource.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/Launcher.h"
#include "shared/outlook/ShellCommand.h"
#include "shared/service/OpAddDoc.h"
#include "shared/ui/DlgError.h"

namespace {

constexpr int kIconSize = 16;
constexpr int kIconCount = 6;
constexpr COLORREF kTransparent = RGB(255, 0, 255);
// What the registry may hold for the browser: the ".htm" class's name and
// its open command.
constexpr DWORD kClassNameCapacity = 64;
constexpr DWORD kCommandCapacity = 512;

} // namespace

CDlgSteps::CDlgSteps(HWND parent) : CDialog(IDD_STEPS, parent) {}

CDlgSteps::~CDlgSteps() = default;

void CDlgSteps::AddStep(std::unique_ptr<CStepOp> step)
{
    if (!step)
        return;
    if (step->m_question)
        m_hasQuestion = 1;
    m_steps.AddTail(step.release());
}

BOOL CDlgSteps::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_list.Attach(::GetDlgItem(m_hWnd, IDC_STEPS_LIST));
    m_progress.Attach(::GetDlgItem(m_hWnd, IDC_STEPS_PROGRESS));
    m_picture.Attach(::GetDlgItem(m_hWnd, IDC_STEPS_PICTURE));
    // The frame only marks where the banner is painted.
    m_picture.ShowWindow(SW_HIDE);
    m_progress.SetRange32(0, 100);

    // Without LVS_SHAREIMAGELISTS the list destroys its image list itself.
    // The icons grow with the screen's DPI, as the rows' text does.
    if (HIMAGELIST icons =
            LoadImageStrip(GetResourceModule(), IDB_STEP_ICONS, kIconSize, kTransparent)) {
        ImageList_SetBkColor(icons, GetSysColor(COLOR_WINDOW));
        m_list.SetImageList(icons, LVSIL_SMALL);
    }
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_list.SendMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_WINDOW)));
    RECT client{};
    m_list.GetClientRect(&client);
    // Room is kept for the vertical scroll bar that a long send's steps
    // bring, so the one column never needs a horizontal one.
    m_list.InsertColumn(0, "Step Descriptions", LVCFMT_LEFT,
                        client.right - client.left - GetSystemMetrics(SM_CXVSCROLL));
    int row = 0;
    for (POSITION pos = m_steps.GetHeadPosition(); pos;) {
        CStepOp* step = m_steps.GetNext(pos);
        step->m_listIndex = m_list.InsertItem(row++, LPSTR_TEXTCALLBACK, I_IMAGECALLBACK,
                                              reinterpret_cast<LPARAM>(step));
    }

    m_next = m_steps.GetHeadPosition();
    m_current = m_next ? m_steps.GetNext(m_next) : nullptr;
    return TRUE;
}

BOOL CDlgSteps::OnEraseBkgnd(HDC)
{
    // The run starts once the dialog is on screen.
    if (m_current && !m_started) {
        m_started = true;
        if (m_current->m_op) {
            m_awaitingReport = true;
            PostMessage(kStageMessage, CWebSvrOp::kPrepare);
        } else {
            m_stage = 0;
            StartTimer();
        }
    }
    Default();
    return FALSE;
}

BOOL CDlgSteps::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message != kStageMessage)
        return FALSE;
    OnStage(static_cast<int>(wParam));
    result = 0;
    return TRUE;
}

void CDlgSteps::OnStage(int stage)
{
    if (m_paused) {
        m_heldStage = stage;
        return;
    }
    // After a failure, or once all is done, nothing carries the run on.
    if (!m_current || m_failed || m_finished)
        return;
    CWebSvrOp* op = m_current->m_op.get();
    if (op) {
        // Only the report of the stage that ran moves an operation on: a
        // stray message (a second click on a question's icon) must not skip
        // an operation or run a stage twice.
        if (!m_awaitingReport)
            return;
        m_awaitingReport = false;
    } else if (stage != kLastStage ||
               (m_current->m_state != kSkipped && m_current->m_state != kWaiting)) {
        // A question step ends only by its answer.
        return;
    }
    m_stage = stage;
    if (!op) {
        StepDone();
        return;
    }
    if (stage < CWebSvrOp::kPrepare || stage > kLastStage)
        return;

    int progress = (stage + 1) * 100 / 6;
    CString status;
    if (stage == CWebSvrOp::kSend && dynamic_cast<OpAddDoc*>(op)) {
        const ULONGLONG total = op->GetUploadSize();
        const ULONGLONG sent = op->GetBytesSent();
        progress = UploadPercent(sent, total);
        status.Format(op->GetStageText(stage), static_cast<unsigned long>(sent),
                      static_cast<unsigned long>(total));
    } else {
        status = op->GetStageText(stage);
    }
    m_progress.SetPos(progress);
    ShowStatus(status);
    if (stage == kLastStage)
        StepDone();
    else
        StartTimer();
}

int CDlgSteps::UploadPercent(ULONGLONG sent, ULONGLONG total)
{
    if (total == 0)
        return 0;
    return static_cast<int>((sent >= total ? total : sent) * 100 / total);
}

void CDlgSteps::StartTimer()
{
    m_timer = SetTimer(kStepTimer, kStepDelayMs);
}

void CDlgSteps::OnTimer(UINT_PTR id)
{
    if (id != kStepTimer) {
        CDialog::OnTimer(id);
        return;
    }
    KillTimer(kStepTimer);
    m_timer = 0;
    if (m_paused) {
        m_heldTick = true;
        return;
    }
    RunStage();
}

void CDlgSteps::RunStage()
{
    if (!m_current || m_failed || m_finished || m_current->m_state == kFailed)
        return;
    CWebSvrOp* op = m_current->m_op.get();
    if (!op) {
        if (m_current->m_question)
            AskQuestion();
        return;
    }
    m_lastRun = op;
    m_awaitingReport = true;
    if (op->Run(m_hWnd, kStageMessage, m_stage))
        return;

    TheLog().Comment("CDlgSteps: Op Step FAILED");
    m_awaitingReport = false;
    m_failed = true;
    m_ok = 0;
    op->ReleaseUpload();
    op->CloseRequest();
    m_current->m_state = kFailed;
    SetButton(Button::kClose);
    OnStepFailed(op->GetErrorText());
}

void CDlgSteps::AskQuestion()
{
    if (m_current->m_state != kPending)
        return;
    CString resume;
    resume.Format(LoadText(IDS_STEP_RESUME), m_current->m_pendingText.GetString());
    ShowStatus(resume);
    if (YesNo(m_current->m_questionText) == IDYES) {
        m_current->m_state = kWaiting;
        Redraw(m_current);
        // Without a browser the step still waits: the user can cancel.
        const HRESULT hr =
            OpenInBrowser(m_current->m_linkText ? m_current->m_linkText->GetString() : nullptr);
        if (FAILED(hr))
            TheLog().HResult("CDlgSteps::OpenInBrowser", hr);
        return;
    }
    m_current->m_state = kSkipped;
    Redraw(m_current);
    PostMessage(kStageMessage, kLastStage);
}

void CDlgSteps::StepDone()
{
    if (!m_current)
        return;
    if (m_current->m_state != kSkipped && m_current->m_state != kFailed)
        m_current->m_state = kDone;
    Redraw(m_current);
    if (m_next) {
        m_current = m_steps.GetNext(m_next);
        m_progress.SetPos(0);
        m_stage = 0;
        m_awaitingReport = false;
        StartTimer();
        m_list.EnsureVisible(m_current->m_listIndex, FALSE);
        ShowStatus(m_statusText);
        return;
    }
    m_finished = true;
    if (m_lastRun)
        m_lastRun->CloseRequest();
    m_ok = 1;
    SetButton(Button::kDone);
    ShowStatus(LoadText(IDS_STEPS_SUBMITTED));
    if (!m_hasQuestion)
        EndDialog(IDOK);
}

void CDlgSteps::OnStepFailed(const char* text)
{
    if (m_current) {
        for (POSITION pos = m_steps.GetHeadPosition(); pos;) {
            CStepOp* step = m_steps.GetNext(pos);
            if (step->m_listIndex >= m_current->m_listIndex) {
                step->m_state = kFailed;
                m_list.Update(step->m_listIndex);
            }
        }
    }
    ShowStatus(LoadText(IDS_OPERATION_FAILED));
    CDlgError error(m_hWnd);
    error.m_details = text && *text ? CString(text) : LoadText(IDS_OPERATION_UNKNOWN);
    error.DoModal();
}

void CDlgSteps::OnCancel()
{
    // While the cancel question is open the dialog takes no other answer.
    if (m_paused)
        return;
    m_handled = 1;
    m_ok = 0;
    switch (m_button) {
    case Button::kDone:
        m_ok = 1;
        EndDialog(IDOK);
        return;
    case Button::kClose:
        // The failure has been shown; the send is given up. The ok flag
        // stays clear: a failed run is never a success.
        EndDialog(IDCANCEL);
        return;
    case Button::kCancel:
        ConfirmCancel();
        return;
    }
}

void CDlgSteps::ConfirmCancel()
{
    m_paused = true;
    const int answer = YesNo(LoadText(IDS_STEPS_CANCEL_QUESTION));
    m_paused = false;
    if (answer == IDYES) {
        KillTimer(kStepTimer);
        m_timer = 0;
        // A question step has no operation to abandon.
        if (m_current && m_current->m_op)
            m_current->m_op->CloseRequest();
        EndDialog(IDCANCEL);
        return;
    }
    // The run goes on with what arrived while the question was open.
    if (m_heldTick) {
        m_heldTick = false;
        StartTimer();
    }
    if (m_heldStage >= 0) {
        const int stage = m_heldStage;
        m_heldStage = -1;
        PostMessage(kStageMessage, static_cast<WPARAM>(stage));
    }
}

BOOL CDlgSteps::OnNotify(WPARAM, LPARAM lParam, LRESULT* result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header || header->hwndFrom != m_list.GetSafeHwnd())
        return FALSE;
    switch (header->code) {
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW: {
        // The item part of both forms lies alike up to the text.
        auto* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
        auto* step = reinterpret_cast<CStepOp*>(m_list.GetItemData(info->item.iItem));
        if (!step)
            return FALSE;
        if (info->item.mask & LVIF_IMAGE)
            info->item.iImage = ImageOf(*step);
        if ((info->item.mask & LVIF_TEXT) && info->item.iSubItem == 0)
            CListCtrl::SetDisplayText(header, step->m_pendingText);
        *result = 0;
        return TRUE;
    }
    case NM_CLICK:
        OnListClick(*reinterpret_cast<NMITEMACTIVATE*>(lParam));
        *result = 0;
        return TRUE;
    default:
        return FALSE;
    }
}

void CDlgSteps::OnListClick(const NMITEMACTIVATE& click)
{
    // Where the click landed (the list's client coordinates): only the icon
    // of the waiting step resumes the run.
    UINT flags = 0;
    const int row = m_list.HitTest(click.ptAction, &flags);
    if (row < 0 || !(flags & LVHT_ONITEMICON))
        return;
    auto* step = reinterpret_cast<CStepOp*>(m_list.GetItemData(row));
    if (step && step == m_current && step->m_state == kWaiting)
        PostMessage(kStageMessage, kLastStage);
}

int CDlgSteps::ImageOf(const CStepOp& step) const
{
    switch (step.m_state) {
    case kPending:
        return step.m_op ? 3 : 2;
    case kDone:
        return 0;
    case kSkipped:
        return 1;
    case kWaiting:
        return 4;
    case kFailed:
        return 5;
    default:
        return 3;
    }
}

void CDlgSteps::Redraw(const CStepOp* step)
{
    if (step && step->m_listIndex >= 0)
        m_list.Update(step->m_listIndex);
}

void CDlgSteps::ShowStatus(const CString& text)
{
    m_statusText = text;
    if (m_hWnd)
        ::SetDlgItemTextA(m_hWnd, IDC_STEPS_STATUS, m_statusText);
}

void CDlgSteps::SetButton(Button button)
{
    m_button = button;
    const char* caption = button == Button::kDone    ? "Done"
                          : button == Button::kClose ? "Close"
                                                     : "Cancel";
    ::SetDlgItemTextA(m_hWnd, IDCANCEL, caption);
}

int CDlgSteps::YesNo(const char* text)
{
    CConfig config;
    return ::MessageBoxA(m_hWnd, text ? text : "", config.GetDisplayName(),
                         MB_YESNO | MB_ICONQUESTION);
}

void CDlgSteps::OnPaint()
{
    CPaintDC dc(m_hWnd);
    PaintBanner(m_hWnd, m_picture.GetSafeHwnd(), dc.Get(), BannerFit::NaturalSize);
}

HRESULT CDlgSteps::OpenInBrowser(const char* url)
{
    CLogBlock block("CDlgSteps::OpenInBrowser");
    // The link comes from the service: only a web link goes to the browser's
    // command line, and only one that cannot bring switches of its own.
    if (!IsBrowsableLink(url)) {
        TheLog().Error("CDlgSteps::OpenInBrowser: not a link for the browser");
        return E_FAIL;
    }
    CRegKey htm;
    CString className;
    if (htm.Open(HKEY_CLASSES_ROOT, ".htm", KEY_READ) != ERROR_SUCCESS ||
        htm.QueryText(nullptr, className, kClassNameCapacity) != ERROR_SUCCESS ||
        className.IsEmpty())
        return E_FAIL;
    CRegKey command;
    if (command.Open(HKEY_CLASSES_ROOT, className + "\\shell\\opennew\\command", KEY_READ) !=
            ERROR_SUCCESS &&
        command.Open(HKEY_CLASSES_ROOT, className + "\\shell\\open\\command", KEY_READ) !=
            ERROR_SUCCESS)
        return E_FAIL;
    CString registered;
    DWORD type = REG_SZ;
    DWORD size = 0;
    if (command.QueryValue(nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        command.QueryText(nullptr, registered, kCommandCapacity) != ERROR_SUCCESS)
        return E_FAIL;
    const CString commandLine = ShellCommandLine(registered, type, url);
    CLauncher launcher;
    return launcher.LaunchProcess(commandLine) ? S_OK : E_FAIL;
}
