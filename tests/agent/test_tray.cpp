// The agent's icon in the notification area, through the real
// Shell_NotifyIcon calls, against a tray of the tests' own (headless Wine
// has none): the tip and the balloon of the first add, the icon added again
// after the shell restarts, the tray's commands, hiding to the tray and
// back, where the tray lies, and texts cut at their fields' sizes.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "agent/AgentResource.h"
#include "agent/tray/SystemTray.h"
#include "standins/tray/TrayStandIn.h"
#include "tests/agent/AgentTest.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr char kTip[] = "Inkstave Broadcast Agent";
constexpr char kBalloon[] = "eSignature broadcasting in progress";

std::vector<TrayCall> Adds(const std::vector<TrayCall>& calls)
{
    std::vector<TrayCall> adds;
    for (const TrayCall& call : calls) {
        if (call.command == NIM_ADD)
            adds.push_back(call);
    }
    return adds;
}

bool RectsEqual(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

class TrayTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        ASSERT_TRUE(m_tray.Start());
    }
    void TearDown() override
    {
        m_tray.Stop();
        CleanProfileTest::TearDown();
    }
    CTrayStandIn m_tray;
};

TEST_F(TrayTest, TheTrayRectangleIsTheNotificationAreaLeftOfTheClock)
{
    const RECT rect = CSystemTray::GetTrayWndRect();
    RECT expected = CTrayStandIn::kNotify;
    expected.right = CTrayStandIn::kClock.left;
    EXPECT_TRUE(RectsEqual(expected, rect))
        << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
}

TEST_F(TrayTest, TextsAreCutToTheirFieldsAndTheBalloonComesOnce)
{
    const std::string tip(200, 't');
    const std::string balloon(300, 'b');
    const std::string title(100, 'h');
    {
        CSystemTray tray;
        ASSERT_TRUE(tray.Create(tip.c_str(), LoadIconA(nullptr, IDI_APPLICATION), balloon.c_str(),
                                title.c_str()));
        EXPECT_FALSE(tray.IsHidden());
        EXPECT_EQ(std::string(127, 't'), tray.GetIconData().szTip);
        // The balloon is not kept for later changes of the icon.
        EXPECT_EQ(std::string(), tray.GetIconData().szInfo);

        const auto adds = Adds(m_tray.Calls());
        ASSERT_EQ(1u, adds.size());
        EXPECT_TRUE(adds[0].HasText(std::string(127, 't')));
        EXPECT_TRUE(adds[0].HasText(std::string(255, 'b')));
        EXPECT_TRUE(adds[0].HasText(std::string(63, 'h')));

        // The shell restarts, then the agent's own request to show again.
        m_tray.ClearCalls();
        SendMessageA(tray.GetSafeHwnd(), CSystemTray::TaskbarCreatedMessage(), 0, 0);
        SendMessageA(tray.GetSafeHwnd(), CSystemTray::AgentCreatedMessage(), 0, 0);
        const auto again = Adds(m_tray.Calls());
        ASSERT_EQ(2u, again.size());
        for (const TrayCall& add : again) {
            EXPECT_TRUE(add.HasText(std::string(127, 't')));
            EXPECT_FALSE(add.HasText(std::string(255, 'b'))) << "the balloon came again";
        }
        m_tray.ClearCalls();
    }
    const auto calls = m_tray.Calls();
    ASSERT_EQ(1u, calls.size()) << "the icon goes with the tray object";
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), calls[0].command);
}

TEST_F(TrayTest, WithoutATrayTheIconIsNotShownAndNothingIsRemoved)
{
    m_tray.Stop();
    CSystemTray tray;
    EXPECT_FALSE(tray.Create(kTip, LoadIconA(nullptr, IDI_APPLICATION), kBalloon, kTip));
    EXPECT_TRUE(tray.IsHidden());
    EXPECT_TRUE(tray.IsRemoved());
    // The shell comes back: an icon that never showed is not forced in.
    SendMessageA(tray.GetSafeHwnd(), CSystemTray::TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(tray.IsHidden());
}

// The dialog's tray while a broadcast runs (slow answers keep it running).
class AgentTrayTest : public AgentTest {
protected:
    void SetUp() override
    {
        AgentTest::SetUp();
        ASSERT_TRUE(m_tray.Start());
    }
    void TearDown() override
    {
        m_tray.Stop();
        AgentTest::TearDown();
    }
    CTrayStandIn m_tray;
};

TEST_F(AgentTrayTest, TheDialogHidesToTheTrayAndComesBack)
{
    ASSERT_TRUE(Service().SetBehaviour(R"({"kind": "slow", "delay": 0.3, "count": 0})"));
    BroadcastShape shape;
    shape.targets = ThreeTargets();
    shape.documents = {"%PDF-1.4 lease"};
    const std::string path = WriteBroadcast(shape);
    ASSERT_FALSE(path.empty());

    CinkProxyDlg dialog;
    dialog.m_broadcast.m_broadcastPath = path.c_str();
    std::vector<std::string> seen;
    auto note = [&](const std::string& what, HWND window) {
        seen.push_back(what + (IsWindowVisible(window) ? " visible" : " hidden"));
    };
    HWND trayWindow = nullptr;
    auto trayCall = [&](WPARAM id, LPARAM event) {
        return SendMessageA(trayWindow, CSystemTray::kCallbackMessage, id, event);
    };
    CScriptedUser user(PatientUser());
    // A hidden dialog is nobody's to click: each hide and its way back are
    // one step, and the next step waits for the dialog to be seen again.
    user.Expect(kAgentCaption)
        .Do("minimises, then double-clicks the icon",
            [&](HWND window) {
                trayWindow = dialog.GetTray().GetSafeHwnd();
                SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
                note("minimised", window);
                // Another icon's notification is not the agent's.
                EXPECT_EQ(0, trayCall(99, WM_LBUTTONDBLCLK));
                note("another icon", window);
                EXPECT_NE(0, trayCall(CSystemTray::kIconId, WM_LBUTTONDBLCLK));
                return true;
            })
        .Expect(kAgentCaption)
        .Do("closes with the title bar, then opens from the tray",
            [&](HWND window) {
                note("double-clicked", window);
                SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
                note("closed", window);
                PostMessageA(window, WM_COMMAND, ID_TRAY_OPEN, 0);
                return true;
            })
        .Expect(kAgentCaption)
        .Do("the shell restarts",
            [&](HWND window) {
                note("opened", window);
                m_tray.AnnounceRestart();
                return true;
            })
        .Do("waits for the icon again", [&](HWND) { return Adds(m_tray.Calls()).size() >= 2; })
        .Do("exits from the tray", [&](HWND window) {
            PostMessageA(window, WM_COMMAND, ID_TRAY_EXIT, 0);
            return true;
        });
    user.Start();
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    user.Stop();
    EXPECT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(
        (std::vector<std::string>{"minimised hidden", "another icon hidden",
                                  "double-clicked visible", "closed hidden", "opened visible"}),
        seen);
    const auto calls = m_tray.Calls();
    const auto adds = Adds(calls);
    ASSERT_EQ(2u, adds.size());
    EXPECT_TRUE(adds[0].HasText(kTip));
    EXPECT_TRUE(adds[0].HasText(kBalloon));
    EXPECT_TRUE(adds[1].HasText(kTip));
    EXPECT_FALSE(adds[1].HasText(kBalloon)) << "the balloon is shown once";
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), calls.back().command);
    EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
}
