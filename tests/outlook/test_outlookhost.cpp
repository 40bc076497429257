// The host program as the add-in's tests will use it: it finds the add-ins
// Outlook would load, connects them, asks a ribbon host for its markup,
// plays user actions (dialogs included) and lets the add-ins go, reporting
// what happened and leaving the mailbox and the call record behind.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/Mailbox.h"
#include "tests/outlook/sampleaddin/SampleAddinIds.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr const char* kAddins = "Software\\Microsoft\\Office\\Outlook\\Addins";

std::string Folder(const std::string& path)
{
    return path.substr(0, path.find_last_of('\\') + 1);
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end()); // the test's paths are ASCII
}

void DeleteTree(HKEY root, const std::string& path)
{
    RegDeleteTreeA(root, path.c_str());
}

void WriteValue(HKEY root, const std::string& path, const char* name, DWORD type,
                const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

// Class registrations go where COM reads them: Wine does not look at the
// user's own classes.
void WriteClassText(const std::string& path, const char* name, const std::string& text)
{
    WriteValue(HKEY_CLASSES_ROOT, path, name, REG_SZ, text.c_str(),
               static_cast<DWORD>(text.size() + 1));
}

struct HostRun {
    int exitCode = -1;
    std::vector<std::string> report;
    std::string calls;

    bool Has(const std::string& line) const
    {
        for (const auto& l : report)
            if (l == line)
                return true;
        return false;
    }
    bool HasPrefix(const std::string& prefix) const
    {
        for (const auto& l : report)
            if (l.rfind(prefix, 0) == 0)
                return true;
        return false;
    }
    std::string Text() const
    {
        std::string all;
        for (const auto& l : report)
            all += l + "\n";
        return all;
    }
};

class OutlookHostTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        Cleanup();
        RegisterSample();
    }
    static void RegisterSample()
    {
        // The sample add-in, registered for the current user as a
        // per-user installer would.
        const std::string clsidKey = std::string("CLSID\\") + kSampleAddinClsidText;
        WriteClassText(clsidKey + "\\InprocServer32", nullptr,
                       Folder(SelfPath()) + "SampleAddin.dll");
        WriteClassText(clsidKey + "\\InprocServer32", "ThreadingModel", "Apartment");
        for (const char* progId : {kSampleAddinProgId, "QuilletTest.SecondName"})
            WriteClassText(std::string(progId) + "\\CLSID", nullptr, kSampleAddinClsidText);
        SetOutlookVersion("Outlook.Application.12");
    }
    void TearDown() override
    {
        Cleanup();
        CleanProfileTest::TearDown();
    }
    static void Cleanup()
    {
        DeleteTree(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kSampleAddinClsidText);
        for (const char* progId : {kSampleAddinProgId, "QuilletTest.SecondName"})
            DeleteTree(HKEY_CLASSES_ROOT, progId);
        DeleteTree(HKEY_CLASSES_ROOT, "Outlook.Application");
        DeleteTree(HKEY_CURRENT_USER, kAddins);
        DeleteTree(HKEY_LOCAL_MACHINE, kAddins);
    }
    static void SetOutlookVersion(const char* curVer)
    {
        WriteClassText("Outlook.Application\\CurVer", nullptr, curVer);
    }
    static void Register(const char* progId, DWORD loadBehavior, bool machine = false)
    {
        const std::string key = std::string(kAddins) + "\\" + progId;
        WriteValue(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, key, "LoadBehavior",
                   REG_DWORD, &loadBehavior, sizeof loadBehavior);
    }

    HostRun Run(const std::string& script)
    {
        WriteFileBytes(TempDir() + "script.txt", script);
        const std::string host = Folder(SelfPath()) + "outlookhost.exe";
        HostRun run;
        run.exitCode = RunProcess("\"" + host + "\" --save \"" + TempDir() + "out.mbx\" --calls \"" +
                                  TempDir() + "calls.txt\" --report \"" + TempDir() +
                                  "report.txt\" \"" + TempDir() + "script.txt\"");
        std::string text = FileExists(TempDir() + "report.txt")
                               ? ReadFileBytes(TempDir() + "report.txt")
                               : std::string();
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find('\n', at);
            run.report.push_back(text.substr(at, end - at));
            at = end == std::string::npos ? text.size() : end + 1;
        }
        if (FileExists(TempDir() + "calls.txt"))
            run.calls = ReadFileBytes(TempDir() + "calls.txt");
        return run;
    }
};

TEST_F(OutlookHostTest, DrivesARegisteredAddinThroughButtonsRibbonAndDialogs)
{
    Register(kSampleAddinProgId, 3);
    const HostRun run = Run("new-mail \"Hello\"\n"
                            "to \"jane@example.com\"\n"
                            "answer 6          # Yes to the sample's question\n"
                            "click \"Sample-It\"\n"
                            "ribbon sampleButton\n"
                            "close save\n");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    EXPECT_TRUE(run.Has("addin QuilletTest.SampleAddin connected")) << run.Text();
    EXPECT_TRUE(run.HasPrefix("ribbon Microsoft.Outlook.Mail.Compose <customUI")) << run.Text();
    EXPECT_TRUE(run.Has("messagebox Stamp this item?")) << run.Text();
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
    ASSERT_TRUE(mailbox.Load(Wide(TempDir() + "out.mbx"), &error));
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
        {"user key, start-up", {{kSampleAddinProgId, 3}}, {}, "Outlook.Application.12",
         {kSampleAddinProgId}, true},
        {"loaded on demand only", {{kSampleAddinProgId, 2}}, {}, "Outlook.Application.12", {}, false},
        {"machine key", {}, {{kSampleAddinProgId, 3}}, "Outlook.Application.14",
         {kSampleAddinProgId}, true},
        {"both keys: once", {{kSampleAddinProgId, 3}}, {{kSampleAddinProgId, 3}},
         "Outlook.Application.12", {kSampleAddinProgId}, true},
        {"two names", {{kSampleAddinProgId, 3}}, {{"QuilletTest.SecondName", 3}},
         "Outlook.Application.12", {kSampleAddinProgId, "QuilletTest.SecondName"}, true},
        {"no ribbon before 12", {{kSampleAddinProgId, 3}}, {}, "Outlook.Application.11",
         {kSampleAddinProgId}, false},
    };
    for (const Case& c : cases) {
        Cleanup();
        RegisterSample();
        for (const auto& [progId, behaviour] : c.user)
            Register(progId, behaviour);
        for (const auto& [progId, behaviour] : c.machine)
            Register(progId, behaviour, true);
        SetOutlookVersion(c.curVer);
        const HostRun run = Run("say done\n");
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
    Register(kSampleAddinProgId, 3);
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
        const HostRun run = Run(c.script);
        EXPECT_EQ(run.exitCode, 1) << c.script;
        EXPECT_TRUE(run.HasPrefix(c.reason)) << c.script << "\n" << run.Text();
    }
}

} // namespace
