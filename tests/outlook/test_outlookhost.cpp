// The host program as the add-in's tests will use it: it finds the add-ins
// Outlook would load, connects them, asks a ribbon host for its markup,
// plays user actions (dialogs included) and lets the add-ins go, reporting
// what happened and leaving the mailbox and the call record behind.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/Mailbox.h"
#include "tests/outlook/sampleaddin/SampleAddinIds.h"
#include "tests/support/OutlookHost.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

using outlookhost::CRegisteredAddin;
using outlookhost::CRun;

constexpr const char* kSecondName = "QuilletTest.SecondName";

class OutlookHostTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        CRegisteredAddin::SetOutlookVersion("Outlook.Application.12");
    }

    CRun Run(const std::string& script) { return outlookhost::Run(TempDir(), script); }

    CRegisteredAddin sample{kSampleAddinClsidText,
                            {kSampleAddinProgId, kSecondName},
                            testenv::ProgramFolder() + "SampleAddin.dll"};
};

TEST_F(OutlookHostTest, DrivesARegisteredAddinThroughButtonsRibbonAndDialogs)
{
    CRegisteredAddin::LoadAtStartup(kSampleAddinProgId);
    const CRun run = Run("new-mail \"Hello\"\n"
                         "to \"jane@example.com\"\n"
                         "wait-text 0xFFFF \"Stamp this item?\"\n"
                         "shot \"question\"   # no pictures without --shots\n"
                         "answer 6          # Yes to the sample's question\n"
                         "click \"Sample-It\"\n"
                         "ribbon sampleButton\n"
                         "close save\n");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    EXPECT_TRUE(run.Has("addin QuilletTest.SampleAddin connected")) << run.Text();
    EXPECT_TRUE(run.HasPrefix("ribbon Microsoft.Outlook.Mail.Compose <customUI")) << run.Text();
    EXPECT_TRUE(run.Has("messagebox Stamp this item?")) << run.Text();
    // The user's part, told as it happened, in the words on the screen.
    EXPECT_TRUE(run.Has("user waits until it says \"Stamp this item?\"")) << run.Text();
    EXPECT_TRUE(run.Has("user reads the message \"Stamp this item?\" and clicks Yes"))
        << run.Text();
    EXPECT_FALSE(run.HasPrefix("picture")) << run.Text();
    EXPECT_TRUE(run.Has("ribbon onAction sampleButton 00000000")) << run.Text();
    EXPECT_TRUE(run.Has("addin QuilletTest.SampleAddin disconnected")) << run.Text();
    EXPECT_TRUE(run.Has("connections left 0")) << run.Text();

    // What the add-in did to Outlook, in its own calls.
    EXPECT_NE(run.calls.find("CommandBars.Add(Sample, 1, False, True)"), std::string::npos)
        << run.calls;
    EXPECT_NE(run.calls.find("CommandBarButton.Caption() = Sample-It"), std::string::npos);

    // And what it left in the mailbox: the mail, saved into Drafts.
    standin::CMailbox mailbox;
    std::wstring error;
    ASSERT_TRUE(mailbox.Load(run.mailbox, &error));
    standin::CItems& drafts = mailbox.DefaultFolder(standin::kFolderDrafts)->Items();
    ASSERT_EQ(drafts.Count(), 1u);
    EXPECT_EQ(drafts.At(0)->Subject(), L"stamped by the sample");
    EXPECT_EQ(drafts.At(0)->Body(), L"stamped from the ribbon");
}

TEST_F(OutlookHostTest, LoadsWhatOutlookWouldLoadOnceEach)
{
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, DWORD>> user;
        std::vector<std::pair<const char*, DWORD>> machine;
        const char* curVer;
        std::vector<std::string> connected;
        bool ribbon;
    };
    const Case cases[] = {
        {"user key, start-up",
         {{kSampleAddinProgId, 3}},
         {},
         "Outlook.Application.12",
         {kSampleAddinProgId},
         true},
        {"loaded on demand only",
         {{kSampleAddinProgId, 2}},
         {},
         "Outlook.Application.12",
         {},
         false},
        {"machine key",
         {},
         {{kSampleAddinProgId, 3}},
         "Outlook.Application.14",
         {kSampleAddinProgId},
         true},
        {"both keys: once",
         {{kSampleAddinProgId, 3}},
         {{kSampleAddinProgId, 3}},
         "Outlook.Application.12",
         {kSampleAddinProgId},
         true},
        {"two names",
         {{kSampleAddinProgId, 3}},
         {{kSecondName, 3}},
         "Outlook.Application.12",
         {kSampleAddinProgId, kSecondName},
         true},
        {"no ribbon before 12",
         {{kSampleAddinProgId, 3}},
         {},
         "Outlook.Application.11",
         {kSampleAddinProgId},
         false},
    };
    for (const Case& c : cases) {
        CRegisteredAddin::ForgetStartup();
        for (const auto& [progId, behaviour] : c.user)
            CRegisteredAddin::LoadAtStartup(progId, behaviour);
        for (const auto& [progId, behaviour] : c.machine)
            CRegisteredAddin::LoadAtStartup(progId, behaviour, true);
        CRegisteredAddin::SetOutlookVersion(c.curVer);
        const CRun run = Run("say done\n");
        EXPECT_EQ(run.exitCode, 0) << c.name << "\n" << run.Text();
        std::vector<std::string> connected;
        for (const auto& line : run.report)
            if (line.rfind("addin ", 0) == 0 && line.size() > 16 &&
                line.compare(line.size() - 10, 10, " connected") == 0)
                connected.push_back(line.substr(6, line.size() - 16));
        EXPECT_EQ(connected, c.connected) << c.name;
        EXPECT_EQ(run.HasPrefix("ribbon Microsoft.Outlook.Explorer"), c.ribbon) << c.name;
    }
}

TEST_F(OutlookHostTest, AScriptThatGoesWrongEndsWithAReasonAndNeverHangs)
{
    CRegisteredAddin::LoadAtStartup(kSampleAddinProgId);
    struct Case {
        const char* script;
        const char* reason; // the start of the error line
    } const cases[] = {
        // The add-in's question comes up with no answer scripted: it is
        // cancelled and the run fails.
        {"new-mail\nclick \"Sample-It\"\n", "error line 2: the dialogs did not go as scripted"},
        {"new-mail\nclick \"Nothing-It\"\n", "error line 2: no button captioned Nothing-It"},
        {"subject \"x\"\n", "error line 1: no item is open"},
        {"frobnicate\n", "error line 1: unknown command frobnicate"},
        {"say \"unclosed\n", "error line 1: a quote is not closed"},
    };
    for (const auto& c : cases) {
        const CRun run = Run(c.script);
        EXPECT_EQ(run.exitCode, 1) << c.script;
        EXPECT_TRUE(run.HasPrefix(c.reason)) << c.script << "\n" << run.Text();
    }
}

// The start-up benchmark's timings: one line per add-in after its
// "disconnected" line when asked for, with durations a clock could give,
// and the report otherwise line for line what it is without them.
TEST_F(OutlookHostTest, ReportsEachAddinsTimingsOnlyWhenAsked)
{
    CRegisteredAddin::LoadAtStartup(kSampleAddinProgId);
    CRegisteredAddin::LoadAtStartup(kSecondName);
    const std::string script = TempDir() + "timed.txt";
    WriteFileBytes(script, "new-mail \"Hello\"\nclose discard\n");
    auto report = [&](const std::string& options) {
        const std::string path = TempDir() + "timed-report.txt";
        DeleteFileA(path.c_str());
        const int code = RunProcess("\"" + ProgramFolder() + "outlookhost.exe\" " + options +
                                    " --report \"" + path + "\" \"" + script + "\"");
        EXPECT_EQ(code, 0) << options;
        std::vector<std::string> lines;
        const std::string text = FileExists(path) ? ReadFileBytes(path) : std::string();
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find('\n', at);
            lines.push_back(text.substr(at, end - at));
            at = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    };
    const std::vector<std::string> plain = report("");
    const std::vector<std::string> timed = report("--timings");

    std::vector<std::string> untimed;
    std::vector<std::string> timedAddins;
    for (size_t i = 0; i < timed.size(); ++i) {
        if (timed[i].rfind("timings ", 0) != 0) {
            untimed.push_back(timed[i]);
            continue;
        }
        char name[128] = {};
        double load = -1, startup = -1, shutdown = -1;
        ASSERT_EQ(std::sscanf(timed[i].c_str(),
                              "timings %127s load %lf ms startup %lf ms shutdown %lf ms", name,
                              &load, &startup, &shutdown),
                  4)
            << timed[i];
        ASSERT_GT(i, 0u);
        EXPECT_EQ(timed[i - 1], "addin " + std::string(name) + " disconnected");
        // Calls may take less than the microsecond shown, but loading the
        // first add-in's library takes time; a minute for any of it would
        // be a clock read wrong.
        EXPECT_GE(load, 0.0) << timed[i];
        EXPECT_TRUE(!timedAddins.empty() || load > 0.0) << timed[i];
        EXPECT_GE(startup, 0.0) << timed[i];
        EXPECT_GE(shutdown, 0.0) << timed[i];
        EXPECT_LT(load + startup + shutdown, 60000.0) << timed[i];
        timedAddins.push_back(name);
    }
    EXPECT_EQ(timedAddins, (std::vector<std::string>{kSampleAddinProgId, kSecondName}));
    EXPECT_EQ(untimed, plain);
}

} // namespace
