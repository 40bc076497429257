// How the agent's dialog starts and ends, beyond a run's own course: started
// minimised it logs in and runs all the same, with the login dialog its own;
// "E&xit" from the tray ends it at once, also while its question is open.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/AgentResource.h"
#include "shared/SharedResource.h"
#include "tests/agent/AgentTest.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr char kSubmitted[] = "Your Quillet e-signature transactions have been submitted!";
constexpr char kCancelQuestion[] =
    "Are you sure you want to cancel the current esignature broadcast?";
constexpr int kImageDone = 0;

// The text a message box shows.
std::string MessageBoxText(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[32] = {};
        GetClassNameA(child, name, sizeof name);
        char text[512] = {};
        if (strcmp(name, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0)
            return text;
    }
    return {};
}

// Windows shows a program started minimised as it was started: the first
// show of its window keeps it minimised, and a minimised window is never
// painted until the user opens it. Wine's dialog manager restores a dialog
// minimised during its initialisation; while this object lives, the agent's
// dialog of this thread is minimised as its initialisation ends and that
// first restore is refused, as Windows would not make it.
class CStartedMinimised {
public:
    CStartedMinimised()
    {
        s_self = this;
        m_afterMessage =
            SetWindowsHookExA(WH_CALLWNDPROCRET, AfterMessage, nullptr, GetCurrentThreadId());
        m_beforeShow = SetWindowsHookExA(WH_CBT, BeforeShow, nullptr, GetCurrentThreadId());
    }
    CStartedMinimised(const CStartedMinimised&) = delete;
    CStartedMinimised& operator=(const CStartedMinimised&) = delete;
    ~CStartedMinimised()
    {
        UnhookWindowsHookEx(m_beforeShow);
        UnhookWindowsHookEx(m_afterMessage);
        s_self = nullptr;
    }

    bool Hooked() const { return m_afterMessage && m_beforeShow; }
    HWND Dialog() const { return m_dialog; }

private:
    static LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && s_self && !s_self->m_dialog && message->message == WM_INITDIALOG &&
            GetDlgItem(message->hwnd, IDC_AGENT_STEPS)) {
            s_self->m_dialog = message->hwnd;
            s_self->m_keepMinimised = true;
            ShowWindow(message->hwnd, SW_SHOWMINNOACTIVE);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static LRESULT CALLBACK BeforeShow(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_MINMAX && s_self && s_self->m_keepMinimised &&
            reinterpret_cast<HWND>(wParam) == s_self->m_dialog) {
            const int show = LOWORD(lParam);
            if (show != SW_MINIMIZE && show != SW_SHOWMINIMIZED && show != SW_SHOWMINNOACTIVE) {
                // Once: the user may open the dialog later.
                s_self->m_keepMinimised = false;
                return 1;
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline CStartedMinimised* s_self = nullptr;
    HHOOK m_afterMessage = nullptr;
    HHOOK m_beforeShow = nullptr;
    HWND m_dialog = nullptr;
    bool m_keepMinimised = false;
};

} // namespace

// Started minimised without stored credentials: the login dialog comes,
// owned by the agent's window, and once the user has logged in every target
// is sent while the dialog is still minimised.
TEST_F(AgentTest, StartedMinimisedTheAgentLogsInAndSendsTheBroadcast)
{
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyValueA(HKEY_CURRENT_USER, kProductKey, "Credentials"));
    BroadcastShape shape;
    shape.targets = ThreeTargets();
    shape.documents = {"%PDF-1.4 lease"};
    const std::string path = WriteBroadcast(shape);
    ASSERT_FALSE(path.empty());

    CStartedMinimised minimised;
    ASSERT_TRUE(minimised.Hooked());
    HWND loginOwner = nullptr;
    bool minimisedWhenDone = false;
    AgentSeen seen;
    CScriptedUser user(PatientUser());
    user.Expect("Quillet Login")
        .Do("sees whose the login is",
            [&](HWND login) {
                loginOwner = GetWindow(login, GW_OWNER);
                return true;
            })
        .Type(IDC_LOGIN_EMAIL, standin::kDefaultEmail)
        .Type(IDC_LOGIN_PASSWORD, "secret")
        .Type(IDC_LOGIN_ACCOUNT, standin::kDefaultApiCode)
        .Click(IDOK)
        .Expect(kAgentCaption)
        .Do("waits for the run to end", WaitForButton("Done", seen))
        .Do("opens the dialog and presses Done", [&](HWND dialog) {
            minimisedWhenDone = IsIconic(dialog) != FALSE;
            ShowWindow(dialog, SW_RESTORE);
            PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            return true;
        });
    EXPECT_EQ(IDOK, RunAgent(path, user));
    EXPECT_TRUE(user.Finished()) << user.Report();
    ASSERT_NE(nullptr, minimised.Dialog());
    EXPECT_EQ(minimised.Dialog(), loginOwner) << "the login dialog is not the agent's";
    EXPECT_TRUE(minimisedWhenDone) << "the run waited for the dialog to be opened";
    EXPECT_EQ(kSubmitted, seen.status);
    ASSERT_EQ(12u, seen.images.size());
    for (int image : seen.images)
        EXPECT_EQ(kImageDone, image);
    EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
}

// "E&xit" while the user considers the cancel question: the question goes
// unanswered and the agent ends there and then, with nothing left.
TEST_F(AgentTest, ExitFromTheTrayEndsTheAgentWhileItsQuestionIsOpen)
{
    // Slow answers: the run goes on while the question is open.
    ASSERT_TRUE(Service().SetBehaviour(R"({"kind": "slow", "delay": 0.3, "count": 0})"));
    BroadcastShape shape;
    shape.targets = ThreeTargets();
    shape.documents = {"%PDF-1.4 lease"};
    const std::string path = WriteBroadcast(shape);
    ASSERT_FALSE(path.empty());

    HWND agent = nullptr;
    std::string question;
    CScriptedUser user(PatientUser());
    user.Expect(kAgentCaption)
        .Do("presses Cancel",
            [&](HWND dialog) {
                agent = dialog;
                PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
                return true;
            })
        .Do("exits from the tray while the question is open", [&](HWND box) {
            if (box == agent)
                return false;
            question = MessageBoxText(box);
            PostMessageA(agent, WM_COMMAND, ID_TRAY_EXIT, 0);
            return true;
        });
    EXPECT_EQ(IDCANCEL, RunAgent(path, user));
    EXPECT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(kCancelQuestion, question);
    EXPECT_EQ(0, user.DialogsClosed()) << "the agent waited for an answer";
    EXPECT_LT(Service().RequestCount(), 12u);
    EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
    EXPECT_EQ(std::vector<std::string>{}, ReceiptFiles());
}
