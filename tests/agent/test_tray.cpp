// The agent's icon in the notification area, through the real
// Shell_NotifyIcon calls, against a tray of the tests' own (headless Wine
// has none, and which refuses what the shell refuses): the tip and the
// balloon of the first add, the icon kept through a change of the work area
// and back after the shell restarts, the tray's commands, hiding to the tray
// and back, where the tray lies, and texts cut at their fields' sizes.
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
        m_tray.ClearCalls();
    }
    const auto calls = m_tray.Calls();
    ASSERT_EQ(1u, calls.size()) << "the icon goes with the tray object";
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), calls[0].command);
    EXPECT_TRUE(calls[0].accepted);
}

// Whatever makes the agent show its icon again while the shell still has
// it, the icon stays (the shell refuses a second add of it), and a shell
// that then starts anew gets it back, tip and no balloon.
TEST_F(TrayTest, TheIconStaysThroughAnyReshowAndComesBackWithANewShell)
{
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam = 0;
    };
    const Case cases[] = {
        {.name = "the work area changes", .message = WM_SETTINGCHANGE, .wParam = SPI_SETWORKAREA},
        {.name = "the agent's own call", .message = CSystemTray::AgentCreatedMessage()},
        {.name = "a taskbar made while the icon is there",
         .message = CSystemTray::TaskbarCreatedMessage()},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(m_tray.Start());
        m_tray.ClearCalls();
        CSystemTray tray;
        ASSERT_TRUE(tray.Create(kTip, LoadIconA(nullptr, IDI_APPLICATION), kBalloon, kTip));
        HWND window = tray.GetSafeHwnd();
        ASSERT_TRUE(m_tray.HasIcon(window, CSystemTray::kIconId));

        SendMessageA(window, row.message, row.wParam, 0);
        EXPECT_TRUE(m_tray.HasIcon(window, CSystemTray::kIconId));
        EXPECT_FALSE(tray.IsHidden());
        const auto calls = m_tray.Calls();
        for (size_t i = 0; i < calls.size(); ++i) {
            EXPECT_TRUE(calls[i].accepted) << "the shell refused command " << calls[i].command;
            EXPECT_EQ(i == 0, calls[i].HasText(kBalloon))
                << "the balloon comes with the first add only";
        }

        // Explorer ends and starts again: the new shell knows no icon.
        ASSERT_TRUE(m_tray.Restart());
        EXPECT_FALSE(m_tray.HasIcon(window, CSystemTray::kIconId));
        m_tray.ClearCalls();
        SendMessageA(window, CSystemTray::TaskbarCreatedMessage(), 0, 0);
        EXPECT_TRUE(m_tray.HasIcon(window, CSystemTray::kIconId)) << "the icon did not come back";
        EXPECT_FALSE(tray.IsHidden());
        const auto adds = Adds(m_tray.Calls());
        ASSERT_EQ(1u, adds.size());
        EXPECT_TRUE(adds[0].HasText(kTip));
        EXPECT_FALSE(adds[0].HasText(kBalloon)) << "the balloon came again";
        m_tray.Stop();
    }
}

TEST_F(TrayTest, WithoutATrayTheIconWaitsForAShell)
{
    m_tray.Stop();
    CSystemTray tray;
    EXPECT_FALSE(tray.Create(kTip, LoadIconA(nullptr, IDI_APPLICATION), kBalloon, kTip));
    EXPECT_TRUE(tray.IsHidden());
    SendMessageA(tray.GetSafeHwnd(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_TRUE(tray.IsHidden());
    // A shell that starts later gets the icon, as one that restarts does.
    ASSERT_TRUE(m_tray.Start());
    SendMessageA(tray.GetSafeHwnd(), CSystemTray::TaskbarCreatedMessage(), 0, 0);
    EXPECT_FALSE(tray.IsHidden());
    EXPECT_TRUE(m_tray.HasIcon(tray.GetSafeHwnd(), CSystemTray::kIconId));
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
        .Do("the work area changes, then the shell restarts",
            [&](HWND window) {
                note("opened", window);
                SendMessageA(trayWindow, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
                EXPECT_TRUE(m_tray.HasIcon(trayWindow, CSystemTray::kIconId));
                return m_tray.Restart();
            })
        .Do("waits for the icon again",
            [&](HWND) { return m_tray.HasIcon(trayWindow, CSystemTray::kIconId); })
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
    // (The new shell may refuse a change of the icon it lost; never an add.)
    for (const TrayCall& add : adds)
        EXPECT_TRUE(add.accepted) << "the shell refused an add";
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), calls.back().command);
    EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
}
