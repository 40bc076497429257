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
    BindPump(*this, kStageMessage, IDC_STEPS_STATUS);
    ListSteps(m_steps);
    return TRUE;
}

BOOL CDlgSteps::OnEraseBkgnd(HDC)
{
    // The run starts once the dialog is on screen.
    StartRun();
    Default();
    return FALSE;
}

BOOL CDlgSteps::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message != kStageMessage)
        return FALSE;
    PumpStage(static_cast<int>(wParam));
    result = 0;
    return TRUE;
}

void CDlgSteps::OnTimer(UINT_PTR id)
{
    if (!PumpTimer(id))
        CDialog::OnTimer(id);
}

void CDlgSteps::OnRunFailed(CWebSvrOp& op)
{
    m_ok = 0;
    SetButton(Button::kClose);
    OnStepFailed(op.GetErrorText());
}

void CDlgSteps::OnStepWithoutOp(CStepOp& step)
{
    if (step.m_question)
        AskQuestion(step);
}

void CDlgSteps::AskQuestion(CStepOp& step)
{
    if (step.m_state != kPending)
        return;
    CString resume;
    resume.Format(LoadText(IDS_STEP_RESUME), step.m_pendingText.GetString());
    ShowStatus(resume);
    if (YesNo(step.m_questionText) == IDYES) {
        step.m_state = kWaiting;
        Redraw(&step);
        // Without a browser the step still waits: the user can cancel.
        const HRESULT hr = OpenInBrowser(step.m_linkText ? step.m_linkText->GetString() : nullptr);
        if (FAILED(hr))
            TheLog().HResult("CDlgSteps::OpenInBrowser", hr);
        return;
    }
    step.m_state = kSkipped;
    Redraw(&step);
    PostMessage(kStageMessage, kLastStage);
}

void CDlgSteps::StepDone()
{
    if (!CurrentStep())
        return;
    MarkDone();
    if (NextStep()) {
        ShowStatus(m_statusText);
        return;
    }
    if (CWebSvrOp* last = LastRun())
        last->CloseRequest();
    m_ok = 1;
    SetButton(Button::kDone);
    ShowStatus(LoadText(IDS_STEPS_SUBMITTED));
    if (!m_hasQuestion)
        EndDialog(IDOK);
}

void CDlgSteps::OnStepFailed(const char* text)
{
    ShowStatus(LoadText(IDS_OPERATION_FAILED));
    ReportFailure(text, LoadText(IDS_OPERATION_UNKNOWN));
}

void CDlgSteps::OnCancel()
{
    // While the cancel question is open the dialog takes no other answer.
    if (IsPaused())
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
    Pause();
    const int answer = YesNo(LoadText(IDS_STEPS_CANCEL_QUESTION));
    if (answer == IDYES) {
        StopRun();
        EndDialog(IDCANCEL);
        return;
    }
    Resume();
}

BOOL CDlgSteps::OnNotify(WPARAM, LPARAM lParam, LRESULT* result)
{
    return PumpListNotify(lParam, result);
}

int CDlgSteps::StepImage(const CStepOp& step) const
{
    return StateImage(step.m_state, step.m_op ? 3 : 2, 5);
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
