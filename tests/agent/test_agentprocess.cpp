// The real inkProxy.exe, started the way the add-in starts it (its launcher,
// from the folder of the module that asks, with the broadcast file's path as
// the whole command tail), watched and pressed from this process as a person
// at the screen would: it runs the broadcast to "Done", files the receipts
// and leaves no file; however it is ended while an exchange stalls ("E&xit"
// from its tray menu, Cancel and Yes, the end of the Windows session), it
// is gone soon after with nothing left, and the session's end is logged
// with the targets that were not sent.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "shared/log/DebugLog.h"
#include "shared/outlook/Launcher.h"
#include "standins/agentuser/AgentUser.h"
#include "tests/agent/AgentTest.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr UINT kTrayExit = 32772;
// Long beside what a test waits, short beside what the stalls last: an
// agent that waited for its exchange would be seen.
constexpr DWORD kEndsWithinMs = 20000;

// How the agent is ended.
enum class Ending { kTrayExit, kCancelAndYes, kSessionEnd };

struct EndWindowsContext {
    DWORD process;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context)
{
    auto& collect = *reinterpret_cast<EndWindowsContext*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == collect.process)
        collect.windows.push_back(window);
    return TRUE;
}

// The end of the Windows session as the system brings it to a program:
// each of its top-level windows is asked, then told, and the process is
// ended once they have answered. False when a window held the session up.
bool EndSession(DWORD process)
{
    EndWindowsContext collect{process, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&collect));
    bool allowed = true;
    for (HWND window : collect.windows) {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                kEndsWithinMs, &answer) &&
            !answer)
            allowed = false;
    }
    for (HWND window : collect.windows)
        SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL,
                            kEndsWithinMs, nullptr);
    CKernelHandle handle(OpenProcess(PROCESS_TERMINATE, FALSE, process));
    if (handle)
        TerminateProcess(handle.Get(), 0);
    return allowed;
}

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
    ASSERT_TRUE(user.WaitUntilEnded(kEndsWithinMs));
    EXPECT_LT(Service().RequestCount(), 12u);
    EXPECT_EQ(std::vector<std::string>{}, ReceiptFiles());
    EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
}

// The agent ended while its exchange stalls: the service silent after part
// of its answer (which the agent has begun to write down), or taking an
// upload in so slowly that the agent waits to send the rest of the document
// (whose base64 the request file holds). The exchange is given up, the
// process is gone long before the stall would end, and the temporary folder
// holds nothing of the broadcast, the request or the answer.
TEST_F(AgentTest, EndedDuringAStalledExchangeTheAgentLeavesNothing)
{
    struct Case {
        const char* name;
        Ending ending;
        // The service's stalled answer, or its slow intake.
        std::string behaviour = {};
        std::string intake = {};
        size_t documentBytes = 1000;
        // What shows that the agent waits in the stalled exchange.
        std::function<bool(const AgentView&, const std::string& tempText)> stalled;
    };
    // The first bytes of the answer, up to its method's element and not
    // much further.
    const std::string halfAnswer =
        R"({"kind": "stall", "method": "CreateSignatureRequest", "sendBytes": 260, "hold": 600})";
    auto answerHalfWritten = [](const AgentView&, const std::string& tempText) {
        return tempText.find("CreateSignatureRequestResponse") != std::string::npos;
    };
    // Taken in 64 KiB a second: the document (16 MB of base64) fills what
    // lies between, and the agent waits to write more.
    const std::string slowIntake = R"({"chunk": 65536, "interval": 1})";
    auto uploading = [](const AgentView& view, const std::string&) {
        return view.status.rfind("Uploading Document:", 0) == 0;
    };
    const size_t bigDocument = 12u << 20;
    const Case cases[] = {
        {.name = "E&xit while the answer stalls",
         .ending = Ending::kTrayExit,
         .behaviour = halfAnswer,
         .stalled = answerHalfWritten},
        {.name = "E&xit while the upload stalls",
         .ending = Ending::kTrayExit,
         .intake = slowIntake,
         .documentBytes = bigDocument,
         .stalled = uploading},
        {.name = "Cancel and Yes while the upload stalls",
         .ending = Ending::kCancelAndYes,
         .intake = slowIntake,
         .documentBytes = bigDocument,
         .stalled = uploading},
        {.name = "the session ends while the answer stalls",
         .ending = Ending::kSessionEnd,
         .behaviour = halfAnswer,
         .stalled = answerHalfWritten},
        {.name = "the session ends while the upload stalls",
         .ending = Ending::kSessionEnd,
         .intake = slowIntake,
         .documentBytes = bigDocument,
         .stalled = uploading},
    };
    // The agent's own log, for what it says as the session ends.
    WriteDword(kAdvancedKey, "Diagnose", 1);
    WriteDword(kAdvancedKey, "Flags", CDebugLog::kXml | CDebugLog::kFile);
    auto isLog = [](const std::string& name) { return name.rfind("inkDebug", 0) == 0; };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(Service().Reset());
        if (!row.behaviour.empty()) {
            ASSERT_TRUE(Service().SetBehaviour(row.behaviour));
        }
        if (!row.intake.empty()) {
            bool ok = false;
            Service().Control("intake", row.intake, &ok);
            ASSERT_TRUE(ok);
        }
        BroadcastShape shape;
        shape.targets = ThreeTargets();
        shape.documents = {"%PDF-1.4 " + std::string(row.documentBytes, 'x')};
        const std::string path = WriteBroadcast(shape);
        ASSERT_FALSE(path.empty());
        CLauncher launcher;
        ASSERT_TRUE(launcher.LaunchModuleProgram(SelfPath().c_str(), "inkProxy.exe", path.c_str()));

        CAgentUser user;
        ASSERT_TRUE(user.WaitForDialog(30000));
        // The small files only: an answer's first bytes, never a document.
        auto tempText = [&] {
            std::string text;
            for (const std::string& name : FilesLeft()) {
                WIN32_FILE_ATTRIBUTE_DATA file{};
                if (GetFileAttributesExA((TempDir() + name).c_str(), GetFileExInfoStandard,
                                         &file) &&
                    file.nFileSizeHigh == 0 && file.nFileSizeLow < 65536)
                    text += ReadFileBytes(TempDir() + name);
            }
            return text;
        };
        ASSERT_TRUE(user.WaitUntil(
            [&](const AgentView& view) { return row.stalled(view, tempText()); }, 60000))
            << "the exchange never stalled";

        switch (row.ending) {
        case Ending::kTrayExit:
            PostMessageA(user.Dialog(), WM_COMMAND, kTrayExit, 0);
            break;
        case Ending::kCancelAndYes:
            user.PressButton();
            EXPECT_NE("", user.AnswerQuestion(IDYES, 20000));
            break;
        case Ending::kSessionEnd:
            EXPECT_TRUE(EndSession(user.Process())) << "the agent held the session up";
            break;
        }
        ASSERT_TRUE(user.WaitUntilEnded(kEndsWithinMs)) << "the agent waited for its exchange";
        std::vector<std::string> left;
        std::string log;
        for (const std::string& name : FilesLeft()) {
            if (!isLog(name))
                left.push_back(name);
            else
                log += LogFileText(ReadFileBytes(TempDir() + name));
        }
        EXPECT_EQ(std::vector<std::string>{}, left);
        EXPECT_EQ(std::vector<std::string>{}, ReceiptFiles());
        // Every target waits behind the first one's stalled exchange.
        const bool told = log.find("the Windows session ends; not sent to ann@example.com, "
                                   "zoe@example.com, carl@example.com") != std::string::npos;
        EXPECT_EQ(row.ending == Ending::kSessionEnd, told) << log;
        for (const std::string& name : FilesLeft())
            DeleteFileA((TempDir() + name).c_str());
    }
}
