// The real inkProxy.exe, started the way the add-in starts it (its launcher,
// from the folder of the module that asks, with the broadcast file's path as
// the whole command tail), watched and pressed from this process as a person
// at the screen would: it runs the broadcast to "Done", files the receipts
// and leaves no file; "E&xit" from its tray menu ends it with nothing left.
#include <string>

#include <gtest/gtest.h>

#include "shared/outlook/Launcher.h"
#include "standins/agentuser/AgentUser.h"
#include "tests/agent/AgentTest.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr UINT kTrayExit = 32772;

} // namespace

TEST_F(AgentTest, TheRealAgentRunsTheBroadcastItIsStartedWith)
{
    BroadcastShape shape;
    shape.targets = ThreeTargets();
    shape.documents = {"%PDF-1.4 lease"};
    const std::string path = WriteBroadcast(shape);
    ASSERT_FALSE(path.empty());
    CLauncher launcher;
    ASSERT_TRUE(launcher.LaunchModuleProgram(SelfPath().c_str(), "inkProxy.exe", path.c_str()));

    CAgentUser user;
    ASSERT_TRUE(user.WaitForDialog(30000));
    ASSERT_TRUE(user.WaitForButton({"Done", "Close"}, 90000));
    const AgentView view = user.Look();
    EXPECT_EQ("Done", view.button);
    EXPECT_EQ("Your Quillet e-signature transactions have been submitted!", view.status);
    ASSERT_EQ(12u, view.rows.size());
    for (const AgentRow& row : view.rows)
        EXPECT_EQ(0, row.image) << row.text;
    EXPECT_EQ("Send Invitation to carl@example.com.", view.rows.back().text);
    user.PressButton();
    ASSERT_TRUE(user.WaitUntilGone(20000));

    EXPECT_EQ(12u, Service().RequestCount());
    EXPECT_EQ(3u, ReceiptFiles().size());
    // The program deletes the broadcast's files once its dialog is gone, on
    // its way out: give it the moment it takes.
    for (int tries = 0; tries < 100 && !FilesLeft().empty(); ++tries)
        Sleep(100);
    EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
}

TEST_F(AgentTest, ExitFromTheTrayEndsTheAgentWithNothingLeft)
{
    // Slow answers: the user leaves long before the end.
    ASSERT_TRUE(Service().SetBehaviour(R"({"kind": "slow", "delay": 0.5, "count": 0})"));
    BroadcastShape shape;
    shape.targets = ThreeTargets();
    shape.documents = {"%PDF-1.4 lease"};
    const std::string path = WriteBroadcast(shape);
    ASSERT_FALSE(path.empty());
    CLauncher launcher;
    ASSERT_TRUE(launcher.LaunchModuleProgram(SelfPath().c_str(), "inkProxy.exe", path.c_str()));

    CAgentUser user;
    ASSERT_TRUE(user.WaitForDialog(30000));
    // The tray menu's command, as the menu sends it to the dialog.
    PostMessageA(user.Dialog(), WM_COMMAND, kTrayExit, 0);
    ASSERT_TRUE(user.WaitUntilGone(20000));
    Sleep(500); // the program ends after its dialog
    EXPECT_LT(Service().RequestCount(), 12u);
    EXPECT_EQ(std::vector<std::string>{}, ReceiptFiles());
    EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
}
