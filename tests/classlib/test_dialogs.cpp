// The dialog layer driven the way a person drives it: the scripted user
// types, clicks and answers on the test's own thread while DoModal runs.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "classlib/app/CWinApp.h"
#include "classlib/ui/CDialog.h"
#include "classlib/ui/CListCtrl.h"
#include "classlib/ui/CommonControls.h"
#include "classlib/ui/CProgressCtrl.h"
#include "classlib/ui/CPropertyPage.h"
#include "classlib/ui/CPropertySheet.h"
#include "classlib/ui/CStatic.h"
#include "classlib/ui/CStatusBar.h"
#include "classlib/ui/CWaitCursor.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/classlib/TestDialogIds.h"

namespace {

constexpr UINT WM_STEP = WM_USER + 100;
constexpr UINT WM_ASK_ANSWER = WM_USER + 101;

// Limits short enough that a failing row costs well under a second.
CScriptedUser::Limits Quick()
{
    CScriptedUser::Limits limits;
    limits.stepMs = 400;
    limits.idleMs = 400;
    limits.deadlineMs = 20000;
    return limits;
}

std::string WindowText(HWND hwnd)
{
    char text[256] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

// Name, count and a remember box exchanged with members; a combo box and a
// list whose picks show in a status line.
class FormDialog : public CDialog {
public:
    FormDialog() : CDialog(IDD_TEST_FORM) {}

    CString m_name = "Jane";
    int m_count = 3;
    int m_remember = BST_CHECKED;
    int m_nameChanges = 0; // EN_CHANGE of the name edit after initialisation

protected:
    BOOL OnInitDialog() override
    {
        for (const char* level : {"Low", "Normal", "High"})
            GetDlgItem(IDC_FORM_LEVEL)
                .SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(level));
        for (const char* row : {"alpha", "beta", "gamma"})
            GetDlgItem(IDC_FORM_ROWS).SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
        BOOL focusFirst = CDialog::OnInitDialog();
        m_nameChanges = 0;
        return focusFirst;
    }

    void DoDataExchange(CDataExchange& dx) override
    {
        DDX_Text(dx, IDC_FORM_NAME, m_name);
        DDX_Text(dx, IDC_FORM_COUNT, m_count);
        DDX_Check(dx, IDC_FORM_REMEMBER, m_remember);
    }

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        int id = LOWORD(wParam);
        int code = HIWORD(wParam);
        if (id == IDC_FORM_NAME && code == EN_CHANGE) {
            ++m_nameChanges;
            return TRUE;
        }
        if ((id == IDC_FORM_LEVEL && code == CBN_SELCHANGE) ||
            (id == IDC_FORM_ROWS && code == LBN_SELCHANGE)) {
            CString status;
            status.Format("level=%s row=%d", GetDlgItem(IDC_FORM_LEVEL).GetWindowText().GetString(),
                          static_cast<int>(GetDlgItem(IDC_FORM_ROWS).SendMessage(LB_GETCURSEL)));
            GetDlgItem(IDC_FORM_STATUS).SetWindowText(status);
            return TRUE;
        }
        return CDialog::OnCommand(wParam, lParam);
    }
};

// Asks a yes/no question when "Ask" is clicked and shows the answer.
class PlainDialog : public CDialog {
public:
    PlainDialog() : CDialog(IDD_TEST_PLAIN) {}
    int m_answer = 0;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (LOWORD(wParam) == IDC_PLAIN_ASK && HIWORD(wParam) == BN_CLICKED) {
            m_answer =
                MessageBoxA(m_hWnd, "Save 3 changes?", "Quillet", MB_YESNO | MB_ICONQUESTION);
            GetDlgItem(IDC_PLAIN_TEXT).SetWindowText(m_answer == IDYES ? "saved" : "not saved");
            return TRUE;
        }
        return CDialog::OnCommand(wParam, lParam);
    }
};

// Ignores Cancel and the close box: only the watchdog can end it.
class StubbornDialog : public PlainDialog {
protected:
    void OnCancel() override {}
};

// Works for a while on a timer of its own, as a dialog that runs an
// operation stage by stage does, then ends itself or stays, idle.
class BusyDialog : public StubbornDialog {
public:
    BusyDialog(ULONGLONG workMs, bool endWhenDone) : m_workMs(workMs), m_endWhenDone(endWhenDone) {}

protected:
    BOOL OnInitDialog() override
    {
        m_started = GetTickCount64();
        SetTimer(1, 100);
        return StubbornDialog::OnInitDialog();
    }
    void OnTimer(UINT_PTR id) override
    {
        if (id != 1 || GetTickCount64() - m_started < m_workMs)
            return;
        KillTimer(1);
        if (m_endWhenDone)
            EndDialog(IDOK);
    }

private:
    ULONGLONG m_workMs;
    bool m_endWhenDone;
    ULONGLONG m_started = 0;
};

} // namespace

struct ExchangeCase {
    const char* name;
    std::function<void(CScriptedUser&)> finish; // what the user does after typing
    INT_PTR answer;
    const char* name_after;
    int count_after;
    int remember_after;
};

class DialogExchange : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(DialogExchange, MembersFillControlsAndOnlyOkTakesThemBack)
{
    const ExchangeCase& row = GetParam();
    FormDialog dialog;
    int checkedAtStart = -1;
    CScriptedUser user(Quick());
    user.Expect("Test Form")
        .Read(IDC_FORM_NAME)
        .Read(IDC_FORM_COUNT)
        .Do("look at the remember box",
            [&](HWND d) {
                checkedAtStart = static_cast<int>(IsDlgButtonChecked(d, IDC_FORM_REMEMBER));
                return true;
            })
        .Type(IDC_FORM_NAME, "jane@x.com")
        .Type(IDC_FORM_COUNT, "42")
        .Check(IDC_FORM_REMEMBER, false);
    row.finish(user);
    user.Start();
    INT_PTR answer = dialog.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(row.answer, answer);
    EXPECT_EQ("Jane", user.TextRead(IDC_FORM_NAME));
    EXPECT_EQ("3", user.TextRead(IDC_FORM_COUNT));
    EXPECT_EQ(BST_CHECKED, checkedAtStart);
    EXPECT_EQ(1, dialog.m_nameChanges) << "typing sends one EN_CHANGE, as a real edit does";
    EXPECT_STREQ(row.name_after, dialog.m_name);
    EXPECT_EQ(row.count_after, dialog.m_count);
    EXPECT_EQ(row.remember_after, dialog.m_remember);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, DialogExchange,
    ::testing::Values(ExchangeCase{"Ok", [](CScriptedUser& u) { u.Click(IDOK); }, IDOK,
                                   "jane@x.com", 42, BST_UNCHECKED},
                      ExchangeCase{"Cancel", [](CScriptedUser& u) { u.Click(IDCANCEL); }, IDCANCEL,
                                   "Jane", 3, BST_CHECKED},
                      ExchangeCase{"CloseBox", [](CScriptedUser& u) { u.Close(); }, IDCANCEL,
                                   "Jane", 3, BST_CHECKED}),
    [](const ::testing::TestParamInfo<ExchangeCase>& info) {
        return std::string(info.param.name);
    });

TEST(DialogExchangeTest, NumberThatIsNotOneIsRefusedAndTheDialogStays)
{
    FormDialog dialog;
    CScriptedUser user(Quick());
    user.Type(IDC_FORM_COUNT, "4x2")
        .Click(IDOK)
        .AnswerMessageBox(IDOK)
        .Expect("Test Form")
        .Read(IDC_FORM_COUNT)
        .Type(IDC_FORM_COUNT, "7")
        .Click(IDOK);
    user.Start();
    INT_PTR answer = dialog.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(IDOK, answer);
    EXPECT_EQ(7, dialog.m_count);
    EXPECT_EQ("4x2", user.TextRead(IDC_FORM_COUNT)) << "the refused text stays for correction";
    EXPECT_EQ(std::vector<std::string>{"Please enter an integer."}, user.MessageBoxTexts());
    ASSERT_EQ(3u, user.Captions().size()) << user.Report();
    EXPECT_EQ("Test Form", user.Captions()[2]);
}

// What a narrated session prints comes from what is on screen: labels in
// front of edits, button texts, the message box's own text.
TEST(DialogNarrationTest, EachStepIsToldInTheWordsOnTheScreen)
{
    FormDialog dialog;
    CScriptedUser user(Quick());
    std::vector<std::string> told;
    user.SetNarrator([&told](HWND, const std::string& what) { told.push_back(what); });
    user.Expect("Test Form")
        .Type(IDC_FORM_NAME, "jane@x.com")
        .Type(IDC_FORM_COUNT, "4x2")
        .Check(IDC_FORM_REMEMBER, true)
        .PickComboItem(IDC_FORM_LEVEL, "High")
        .Click(IDOK)
        .AnswerMessageBox(IDOK)
        .Do("", [](HWND) { return true; })
        .Type(IDC_FORM_COUNT, "7")
        .Click(IDOK);
    user.Start();
    dialog.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(
        (std::vector<std::string>{"sees \"Test Form\"", "types \"jane@x.com\" into Name:",
                                  "types \"4x2\" into Count:", "ticks Remember me",
                                  "picks \"High\" in control 1030", "clicks OK",
                                  "reads the message \"Please enter an integer.\" and clicks OK",
                                  "types \"7\" into Count:", "clicks OK"}),
        told)
        << "a step of the test's own with no words is not told";
}

TEST(DialogPickTest, ComboAndListPicksReachTheDialog)
{
    FormDialog dialog;
    CScriptedUser user(Quick());
    user.PickComboItem(IDC_FORM_LEVEL, "High")
        .PickListRow(IDC_FORM_ROWS, 2)
        .Read(IDC_FORM_STATUS)
        .Click(IDCANCEL);
    user.Start();
    dialog.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ("level=High row=2", user.TextRead(IDC_FORM_STATUS));
}

TEST(DialogMessageBoxTest, AnswerIsTheButtonPressedAndTheTextIsRecorded)
{
    PlainDialog dialog;
    CScriptedUser user(Quick());
    user.Click(IDC_PLAIN_ASK)
        .AnswerMessageBox(IDNO)
        .Expect("Plain Dialog")
        .Read(IDC_PLAIN_TEXT)
        .Click(IDOK);
    user.Start();
    INT_PTR answer = dialog.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(IDOK, answer);
    EXPECT_EQ(IDNO, dialog.m_answer);
    EXPECT_EQ("not saved", user.TextRead(IDC_PLAIN_TEXT));
    EXPECT_EQ(std::vector<std::string>{"Save 3 changes?"}, user.MessageBoxTexts());
    EXPECT_EQ((std::vector<std::string>{"Plain Dialog", "Quillet", "Plain Dialog"}),
              user.Captions());
}

namespace {

// Runs stages 0..3 the way the operation runner does: a private message per
// stage, then a 25 ms timer before the next.
class SteppingDialog : public PlainDialog {
public:
    std::vector<int> m_stages;
    int m_timerRuns = 0;
    int m_paints = 0;
    int m_erases = 0;

protected:
    BOOL OnInitDialog() override
    {
        PostMessage(WM_STEP, 0);
        return PlainDialog::OnInitDialog();
    }

    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override
    {
        if (message == WM_STEP) {
            m_stages.push_back(static_cast<int>(wParam));
            SetTimer(1, 25);
            return TRUE;
        }
        if (message == WM_ASK_ANSWER) {
            result = 1234;
            return TRUE;
        }
        return FALSE;
    }

    void OnTimer(UINT_PTR id) override
    {
        if (id != 1)
            return PlainDialog::OnTimer(id);
        KillTimer(1);
        ++m_timerRuns;
        // Let the dialog be painted at least once before it ends.
        if (m_stages.back() < 3)
            PostMessage(WM_STEP, m_stages.back() + 1);
        else if (m_paints == 0)
            SetTimer(1, 25);
        else
            EndDialog(IDOK);
    }

    void OnPaint() override
    {
        PAINTSTRUCT paint;
        BeginPaint(m_hWnd, &paint);
        EndPaint(m_hWnd, &paint);
        ++m_paints;
    }

    BOOL OnEraseBkgnd(HDC dc) override
    {
        ++m_erases;
        return PlainDialog::OnEraseBkgnd(dc);
    }
};

} // namespace

TEST(DialogRoutingTest, PrivateMessagesTimersAndPaintReachTheMembers)
{
    SteppingDialog dialog;
    LRESULT privateAnswer = 0;
    CScriptedUser user(Quick());
    user.Do("ask the dialog a private question", [&](HWND d) {
        privateAnswer = SendMessageA(d, WM_ASK_ANSWER, 0, 0);
        return true;
    });
    user.Start();
    INT_PTR answer = dialog.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(IDOK, answer) << "the last stage's timer ends the dialog";
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), dialog.m_stages);
    EXPECT_GE(dialog.m_timerRuns, 4);
    EXPECT_EQ(1234, privateAnswer) << "a handled private message answers through DWLP_MSGRESULT";
    EXPECT_GE(dialog.m_paints, 1);
    EXPECT_GE(dialog.m_erases, 1);
}

namespace {

constexpr UINT kTextPane = 501;
constexpr UINT kProgressPane = 502;

// A status bar at the bottom: a progress pane half the width and a text
// pane that stretches, as the operation runner lays it out.
class StatusDialog : public PlainDialog {
public:
    CStatusBar m_bar;
    CProgressCtrl m_progress;
    int m_progressPaneWidth = 0;

protected:
    BOOL OnInitDialog() override
    {
        PlainDialog::OnInitDialog();
        m_bar.Create(m_hWnd, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR);
        const UINT ids[] = {kTextPane, kProgressPane};
        m_bar.SetIndicators(ids, 2);
        RECT client{};
        GetClientRect(&client);
        m_progressPaneWidth = (client.right - client.left) / 2 - 8;
        m_bar.SetPaneInfo(0, kProgressPane, SBPS_NORMAL, m_progressPaneWidth);
        m_bar.SetPaneInfo(1, kTextPane, SBPS_STRETCH, 0);
        RECT pane{};
        m_bar.GetItemRect(m_bar.CommandToIndex(kProgressPane), &pane);
        m_progress.Create(WS_VISIBLE | PBS_SMOOTH, pane, m_bar, kProgressPane);
        m_progress.SetRange(0, 6);
        m_progress.SetPos(3);
        RepositionBars(0xE800, 0xE8FF, kProgressPane);
        m_bar.SetPaneText(m_bar.CommandToIndex(kTextPane), "Connecting");
        return TRUE;
    }
};

struct SeenStatus {
    bool found = false;
    LRESULT parts = 0;
    std::string text;
    RECT bar{};
    RECT client{};
    RECT pane{};
    RECT progress{};
    LRESULT position = -1;
    PBRANGE range{};
};

SeenStatus LookAtStatusBar(HWND dialog)
{
    SeenStatus seen;
    HWND bar = FindWindowExA(dialog, nullptr, STATUSCLASSNAMEA, nullptr);
    HWND progress = bar ? FindWindowExA(bar, nullptr, PROGRESS_CLASSA, nullptr) : nullptr;
    if (!bar || !progress)
        return seen;
    seen.found = true;
    seen.parts = SendMessageA(bar, SB_GETPARTS, 0, 0);
    char text[64] = {};
    SendMessageA(bar, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
    seen.text = text;
    GetClientRect(dialog, &seen.client);
    GetWindowRect(bar, &seen.bar);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&seen.bar), 2);
    SendMessageA(bar, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&seen.pane));
    GetWindowRect(progress, &seen.progress);
    MapWindowPoints(nullptr, bar, reinterpret_cast<POINT*>(&seen.progress), 2);
    seen.position = SendMessageA(progress, PBM_GETPOS, 0, 0);
    SendMessageA(progress, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&seen.range));
    return seen;
}

} // namespace

TEST(DialogStatusBarTest, PanesAndProgressAsTheUserSeesThem)
{
    StatusDialog dialog;
    SeenStatus seen;
    CScriptedUser user(Quick());
    user.Do("look at the status bar",
            [&](HWND d) {
                seen = LookAtStatusBar(d);
                return true;
            })
        .Click(IDOK);
    user.Start();
    dialog.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    ASSERT_TRUE(seen.found) << "a status bar with a progress bar inside\n" << user.Report();
    EXPECT_EQ(2, seen.parts);
    EXPECT_EQ("Connecting", seen.text);
    EXPECT_EQ(seen.client.bottom, seen.bar.bottom) << "docked at the bottom";
    EXPECT_EQ(seen.client.right - seen.client.left, seen.bar.right - seen.bar.left);
    EXPECT_GE(seen.pane.right - seen.pane.left, dialog.m_progressPaneWidth);
    EXPECT_LT(seen.pane.right - seen.pane.left, seen.client.right / 2 + 8);
    EXPECT_TRUE(EqualRect(&seen.pane, &seen.progress))
        << "progress at " << seen.progress.left << "," << seen.progress.top << "-"
        << seen.progress.right << "," << seen.progress.bottom << ", pane at " << seen.pane.left
        << "," << seen.pane.top << "-" << seen.pane.right << "," << seen.pane.bottom;
    EXPECT_EQ(3, seen.position);
    EXPECT_EQ(0, seen.range.iLow);
    EXPECT_EQ(6, seen.range.iHigh);
    EXPECT_EQ(1, dialog.m_bar.CommandToIndex(kTextPane));
    EXPECT_EQ(-1, dialog.m_bar.CommandToIndex(4711));
    EXPECT_STREQ("Connecting", dialog.m_bar.GetPaneText(1));
}

struct WatchdogCase {
    const char* name;
    std::function<void(CScriptedUser&)> script;
    CScriptedUser::Limits limits;
    const char* failure; // part of the report
    int dialogsClosed;
};

class DialogWatchdog : public ::testing::TestWithParam<WatchdogCase> {};

TEST_P(DialogWatchdog, FailsDumpsTheWindowsAndClosesTheDialog)
{
    const WatchdogCase& row = GetParam();
    StubbornDialog dialog;
    CScriptedUser user(row.limits);
    row.script(user);
    user.Start();
    INT_PTR answer = dialog.DoModal();
    user.Stop();

    EXPECT_EQ(IDCANCEL, answer) << "ended by the watchdog";
    EXPECT_TRUE(user.Failed());
    EXPECT_FALSE(user.Finished());
    std::string report = user.Report();
    EXPECT_NE(std::string::npos, report.find(row.failure)) << report;
    EXPECT_NE(std::string::npos, report.find("Button id=1 \"OK\" visible enabled")) << report;
    EXPECT_NE(std::string::npos, report.find("Button id=1042 \"Locked\" visible disabled"))
        << report;
    EXPECT_EQ(row.dialogsClosed, user.DialogsClosed()) << report;
    EXPECT_EQ(nullptr, CScriptedUser::TopmostDialog());
}

CScriptedUser::Limits WithDeadline(unsigned ms)
{
    CScriptedUser::Limits limits;
    limits.deadlineMs = ms;
    return limits;
}

INSTANTIATE_TEST_SUITE_P(
    Stalls, DialogWatchdog,
    ::testing::Values(
        WatchdogCase{"NothingLeftToDo", [](CScriptedUser&) {}, Quick(),
                     "\"Plain Dialog\" waits for nothing", 1},
        WatchdogCase{"MessageBoxLeftUnanswered", [](CScriptedUser& u) { u.Click(IDC_PLAIN_ASK); },
                     Quick(), "\"Quillet\" waits for nothing", 2},
        WatchdogCase{"NoSuchControl", [](CScriptedUser& u) { u.Click(4242); }, Quick(),
                     "\"Plain Dialog\" has no control 4242", 1},
        WatchdogCase{"DisabledControl", [](CScriptedUser& u) { u.Click(IDC_PLAIN_LOCKED); },
                     Quick(), "control 1042 of \"Plain Dialog\" is disabled", 1},
        WatchdogCase{"HiddenControl", [](CScriptedUser& u) { u.Click(IDC_PLAIN_HIDDEN); }, Quick(),
                     "control 1043 of \"Plain Dialog\" is hidden", 1},
        WatchdogCase{"OtherDialogExpected", [](CScriptedUser& u) { u.Expect("Quillet Login"); },
                     Quick(), "the dialog on top is \"Plain Dialog\"", 1},
        WatchdogCase{"CloseBoxIgnored", [](CScriptedUser& u) { u.Close(); }, Quick(),
                     "waits for nothing", 1},
        WatchdogCase{"Deadline",
                     [](CScriptedUser& u) { u.Do("wait forever", [](HWND) { return false; }); },
                     WithDeadline(400), "not done within 400 ms", 1}),
    [](const ::testing::TestParamInfo<WatchdogCase>& info) {
        return std::string(info.param.name);
    });

TEST(DialogWatchdogAtWork, ADialogAtWorkIsWaitedForOneIdleFailsWithinTheLimits)
{
    // The limits are short (400 ms): the work lasts longer than them.
    struct Case {
        const char* name;
        ULONGLONG workMs;
        bool endWhenDone;
        unsigned deadlineMs;
        const char* failure; // part of the report; null: no failure
    };
    const Case cases[] = {
        {"WorkLongerThanTheLimitsThenTheEnd", 1500, true, 20000, nullptr},
        {"IdleAfterItsWork", 1000, false, 20000, "\"Plain Dialog\" waits for nothing"},
        {"WorkPastTheDeadline", 60000, false, 1500, "still up 1500 ms after the start"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BusyDialog dialog(c.workMs, c.endWhenDone);
        CScriptedUser::Limits limits = Quick();
        limits.deadlineMs = c.deadlineMs;
        CScriptedUser user(limits);
        const ULONGLONG started = GetTickCount64();
        user.Start();
        const INT_PTR answer = dialog.DoModal();
        user.Stop();
        const ULONGLONG ms = GetTickCount64() - started;
        if (!c.failure) {
            EXPECT_FALSE(user.Failed()) << user.Report();
            EXPECT_EQ(IDOK, answer) << "it ended itself";
            EXPECT_EQ(0, user.DialogsClosed());
            continue;
        }
        EXPECT_TRUE(user.Failed());
        EXPECT_EQ(IDCANCEL, answer) << "ended by the watchdog";
        EXPECT_NE(std::string::npos, user.Report().find(c.failure)) << user.Report();
        const ULONGLONG worked = std::min<ULONGLONG>(c.workMs, c.deadlineMs);
        EXPECT_GE(ms, worked) << "the work was waited for";
        // Without the watch it would stay up until its deadline or its
        // work's end, 20 s or more; the margin is for a busy machine.
        EXPECT_LT(ms, worked + 8000) << "the idle dialog failed soon after";
    }
}

TEST(DialogWatchdogAwait, AnAwaitedStepOutlastsTheStepLimitButNotItsOwn)
{
    // The dialog stays idle while another program works: the step limit
    // (400 ms) does not apply, the step's own wait does.
    struct Case {
        const char* name;
        ULONGLONG readyAfterMs; // when the other program is done
        unsigned waitMs;
        const char* failure; // part of the report; null: no failure
    };
    const Case cases[] = {
        {"ReadyWithinItsWait", 1200, 5000, nullptr},
        {"NeverReady", 60000, 1200, "stayed impossible for"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlainDialog dialog;
        CScriptedUser user(Quick());
        const ULONGLONG started = GetTickCount64();
        user.Await(
                "waits for the other program",
                [&](HWND) { return GetTickCount64() - started >= c.readyAfterMs; }, c.waitMs)
            .Click(IDOK);
        user.Start();
        const INT_PTR answer = dialog.DoModal();
        user.Stop();
        const ULONGLONG ms = GetTickCount64() - started;
        if (!c.failure) {
            EXPECT_TRUE(user.Finished()) << user.Report();
            EXPECT_EQ(IDOK, answer);
            EXPECT_GE(ms, c.readyAfterMs);
            continue;
        }
        EXPECT_TRUE(user.Failed());
        EXPECT_EQ(IDCANCEL, answer) << "ended by the watchdog";
        EXPECT_NE(std::string::npos, user.Report().find(c.failure)) << user.Report();
        EXPECT_GE(ms, c.waitMs);
        // Never ready, it would wait for a minute without the step's own
        // limit; the margin is for a busy machine.
        EXPECT_LT(ms, c.waitMs + 8000) << "it failed soon after its own wait";
    }
}

TEST(DialogModelessTest, CreateInitialisesAndDestroyLetsGo)
{
    FormDialog dialog;
    ASSERT_TRUE(dialog.Create());
    HWND hwnd = dialog.GetSafeHwnd();
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ("Jane", WindowText(GetDlgItem(hwnd, IDC_FORM_NAME)));
    SetWindowTextA(GetDlgItem(hwnd, IDC_FORM_COUNT), "-12");
    EXPECT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(-12, dialog.m_count);
    dialog.EndDialog(IDOK);
    EXPECT_FALSE(IsWindow(hwnd)) << "a modeless dialog ends by going away";
    EXPECT_EQ(nullptr, dialog.GetSafeHwnd());
    EXPECT_EQ(IDOK, dialog.GetResult());
}

TEST(DialogControlsTest, StaticShowsTheIconItWasGiven)
{
    HICON icon = LoadIconA(nullptr, IDI_INFORMATION);
    HICON shownBefore = reinterpret_cast<HICON>(1);
    HICON shown = nullptr;
    PlainDialog dialog;
    CScriptedUser user(Quick());
    user.Do("put an icon into the picture",
            [&](HWND d) {
                CStatic picture(GetDlgItem(d, IDC_PLAIN_PICTURE));
                shownBefore = picture.SetIcon(icon);
                shown = picture.GetIcon();
                return true;
            })
        .Click(IDOK);
    user.Start();
    dialog.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(nullptr, shownBefore);
    EXPECT_EQ(icon, shown);
}

TEST(DialogControlsTest, ListFindsAnItemByItsDataWhereverItMoved)
{
    InitCommonControlsOnce();
    HWND window = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 200, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    CListCtrl list(window);
    list.InsertColumn(0, "Name");
    int first = 0;
    int second = 0;
    ASSERT_EQ(0, list.InsertItem(0, "first", -1, reinterpret_cast<LPARAM>(&first)));
    // Each new row at the top moves the ones below it down.
    ASSERT_EQ(0, list.InsertItem(0, "second", -1, reinterpret_cast<LPARAM>(&second)));
    ASSERT_EQ(0, list.InsertItem(0, "third", -1, 0));
    EXPECT_EQ(2, list.FindItemByData(reinterpret_cast<LPARAM>(&first)));
    EXPECT_EQ(1, list.FindItemByData(reinterpret_cast<LPARAM>(&second)));
    EXPECT_EQ(-1, list.FindItemByData(reinterpret_cast<LPARAM>(&second), 1)) << "after row 1";
    EXPECT_EQ(-1, list.FindItemByData(12345));
    DestroyWindow(window);
}

TEST(DialogControlsTest, WaitCursorLastsAsLongAsItsObject)
{
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(arrow);
    {
        CWaitCursor wait;
        EXPECT_EQ(LoadCursorA(nullptr, IDC_WAIT), GetCursor());
    }
    EXPECT_EQ(arrow, GetCursor());
}

TEST(WinAppTest, CommandTailFollowsTheProgramName)
{
    struct {
        const char* line;
        const char* tail;
    } const cases[] = {
        {"inkProxy.exe /start", "/start"},
        {"\"C:\\Program Files\\Quillet\\inkProxy.exe\"  /start now", "/start now"},
        {"\"C:\\Program Files\\Quillet\\inkProxy.exe\"", ""},
        {"inkProxy.exe", ""},
        {"\"unclosed quote /start", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.tail, CWinApp::CommandTailOf(c.line)) << "command line: " << c.line;

    CWinApp app;
    app.SetCommandTail("/register");
    EXPECT_STREQ("/register", app.GetCommandTail());
}

// ---- property sheets ----

namespace {

// A button that handles its own click, reflected back to it by the page.
class SelfClickingButton : public CWnd {
public:
    int m_clicks = 0;

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* result) override
    {
        if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        ++m_clicks;
        *result = 0;
        return TRUE;
    }
};

// Records what reaches it, in order: its owner-drawn combo box asks for its
// height while the template's controls are made.
class RecordingPage : public CPropertyPage {
public:
    RecordingPage() : CPropertyPage(IDD_TEST_PAGE) {}

    std::vector<std::string> m_seen;
    SelfClickingButton m_reflected;
    BOOL m_finish = TRUE;

protected:
    BOOL OnInitDialog() override
    {
        m_seen.push_back("init");
        m_reflected.SubclassDlgItem(IDC_PAGE_REFLECTED, m_hWnd);
        return CPropertyPage::OnInitDialog();
    }
    BOOL OnSetActive() override
    {
        m_seen.push_back("active");
        ::PostMessageA(::GetParent(m_hWnd), PSM_SETWIZBUTTONS, 0, PSWIZB_FINISH);
        return CPropertyPage::OnSetActive();
    }
    BOOL OnWizardFinish() override
    {
        m_seen.push_back("finish");
        return m_finish;
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (HIWORD(wParam) == BN_CLICKED) {
            m_seen.push_back("command " + std::to_string(LOWORD(wParam)));
            return TRUE;
        }
        return CPropertyPage::OnCommand(wParam, lParam);
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_MEASUREITEM && wParam == IDC_PAGE_DRAWN) {
            m_seen.push_back("measure");
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 20;
            result = TRUE;
            return TRUE;
        }
        return FALSE;
    }
};

} // namespace

TEST(PropertySheetTest, PageHearsItsControlsFromTheStartAndChildrenTheirOwnClicks)
{
    CPropertySheet sheet(0);
    RecordingPage page;
    sheet.AddPage(&page);
    sheet.SetWizardMode();
    CScriptedUser user(Quick());
    user.Expect("Test Page").Click(IDC_PAGE_REFLECTED).Click(IDC_PAGE_PLAIN).Click(IDCANCEL);
    user.Start();
    INT_PTR result = sheet.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(IDCANCEL, result);
    ASSERT_GE(page.m_seen.size(), 3u);
    EXPECT_EQ("measure", page.m_seen.front()) << "the page took its window at its first message";
    EXPECT_EQ(1, page.m_reflected.m_clicks);
    const std::vector<std::string> tail(page.m_seen.end() - 3, page.m_seen.end());
    EXPECT_EQ((std::vector<std::string>{"init", "active", "command 1052"}), tail)
        << "the reflected click stays with the button";
}

struct FinishCase {
    const char* name;
    BOOL finish;
    INT_PTR result;
};

class PropertySheetFinish : public ::testing::TestWithParam<FinishCase> {};

TEST_P(PropertySheetFinish, FinishEndsTheWizardOnlyWhenThePageAgrees)
{
    const FinishCase& row = GetParam();
    CPropertySheet sheet(0);
    RecordingPage page;
    page.m_finish = row.finish;
    sheet.AddPage(&page);
    sheet.SetWizardMode();
    CScriptedUser user(Quick());
    user.Expect("Test Page").Click(0x3025);
    if (!row.finish)
        user.Do("see the page asked", [&page](HWND) { return page.m_seen.back() == "finish"; })
            .Click(IDCANCEL);
    user.Start();
    INT_PTR result = sheet.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(row.result, result);
}

INSTANTIATE_TEST_SUITE_P(Answers, PropertySheetFinish,
                         ::testing::Values(FinishCase{"Agreed", TRUE, ID_WIZFINISH},
                                           FinishCase{"Refused", FALSE, IDCANCEL}),
                         [](const ::testing::TestParamInfo<FinishCase>& info) {
                             return std::string(info.param.name);
                         });

// A wizard that comes up when nobody expects it is cancelled by its own
// Cancel (EndDialog does not end a property sheet), so the test goes on.
TEST(PropertySheetTest, AWizardNobodyScriptedIsCancelledNotLeftWaiting)
{
    CPropertySheet sheet(0);
    RecordingPage page;
    sheet.AddPage(&page);
    sheet.SetWizardMode();
    CScriptedUser user(Quick());
    user.Expect("Another Dialog");
    user.Start();
    const INT_PTR result = sheet.DoModal();
    user.Stop();

    EXPECT_TRUE(user.Failed());
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(1, user.DialogsClosed());
}
