// How the agent's dialog starts and ends, beyond a run's own course: "E&xit"
// from the tray ends it at once, also while its question is open.
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

constexpr char kCancelQuestion[] =
    "Are you sure you want to cancel the current esignature broadcast?";

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

} // namespace

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
