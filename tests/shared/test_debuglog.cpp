#include <cstdio>
#include <regex>

#include <gtest/gtest.h>

#include "classlib/com/Barrier.h"
#include "shared/log/DebugLog.h"
#include "shared/xml/XMLDoc.h"
#include "shared/xml/XmlEscape.h"
#include "tests/support/DialogAnswerer.h"
#include "tests/support/TestEnv.h"
#include "tests/support/HResultText.h"

using namespace testenv;

namespace {

class DebugLogTest : public CleanProfileTest {
protected:
    // Console output (0x10) is part of the default flags; tests that look at
    // the file alone keep this process's console out of it.
    void SwitchOn(DWORD flags = 0)
    {
        WriteDword(kAdvancedKey, "Diagnose", 1);
        if (flags)
            WriteDword(kAdvancedKey, "Flags", flags);
    }

    std::vector<std::string> LogFiles() const
    {
        std::vector<std::string> logs;
        for (const std::string& name : ListFiles(TempDir())) {
            if (name.rfind("inkDebug", 0) == 0)
                logs.push_back(name);
        }
        return logs;
    }

    std::string OnlyLogFile() const
    {
        auto logs = LogFiles();
        EXPECT_EQ(1u, logs.size());
        return logs.empty() ? std::string() : ReadFileBytes(TempDir() + logs.front());
    }
};

// The records after the header.
std::string Body(const std::string& contents)
{
    auto at = contents.find("</time>");
    return at == std::string::npos ? std::string() : contents.substr(at + 7);
}

} // namespace

TEST_F(DebugLogTest, OffUnlessDiagnoseIsExactlyOne)
{
    for (long diagnose : {-1L, 0L, 2L}) {
        SCOPED_TRACE(diagnose);
        if (diagnose >= 0)
            WriteDword(kAdvancedKey, "Diagnose", static_cast<DWORD>(diagnose));
        CDebugLog log;
        EXPECT_FALSE(log.IsOn());
        EXPECT_FALSE(log.HasConsole());
        log.Comment("nothing");
        log.Error("nothing");
        log.Close();
        EXPECT_TRUE(LogFiles().empty());
    }
}

TEST_F(DebugLogTest, FileIsNamedByTheStartTimeAndBeginsWithTheHeader)
{
    SwitchOn();
    CDebugLog log;
    ASSERT_TRUE(log.IsOn());
    EXPECT_EQ(CDebugLog::kDefaultFlags, log.GetFlags());
    auto logs = LogFiles();
    ASSERT_EQ(1u, logs.size());
    EXPECT_TRUE(std::regex_match(logs[0],
                                 std::regex(R"(inkDebug \(\d\d-\d\d-\d{4} \d\d \d\d \d\d\)\.xml)")))
        << logs[0];
    EXPECT_NE(std::string::npos, log.GetFilePath().str().find("\\\\inkDebug ("))
        << "the temporary folder's own backslash stays before the name's: " << log.GetFilePath();
    const std::string contents = ReadFileBytes(TempDir() + logs[0]);
    EXPECT_TRUE(std::regex_match(
        contents,
        std::regex(
            R"(<\?xml version="1.0" encoding="UTF-8"\?><Diagnostics><time>\d\d/\d\d/\d{4} \(\d\d:\d\d:\d\d\)</time>)")))
        << contents;
}

TEST_F(DebugLogTest, RecordsInTheirFileForm)
{
    SwitchOn();
    CDebugLog log;
    log.Enter("CSendBtn::OnClick");
    EXPECT_EQ(1, log.GetDepth());
    log.Comment("a<b");
    log.Warning("w");
    log.Error("e & f");
    log.CommentFormat("Name=%s", "Host");
    log.CommentFormatInt("CCfgBase::SetKey: Value=%lu", 4000000000UL);
    log.Exit("CSendBtn::OnClick");
    EXPECT_EQ(0, log.GetDepth());
    EXPECT_EQ("<block_enter>CSendBtn&#58;&#58;OnClick</block_enter>"
              "<comment>a&lt;b</comment>\n"
              "<warning><details>w</details></warning>\n"
              "<error><details>e &amp; f</details></error>\n"
              "<comment>Name&#61;Host</comment>\n"
              "<comment>CCfgBase&#58;&#58;SetKey&#58; Value&#61;4000000000</comment>\n"
              "<block_exit>CSendBtn&#58;&#58;OnClick</block_exit>",
              Body(OnlyLogFile()));
}

TEST_F(DebugLogTest, AccentedLettersAreKept)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "written in Windows-1252; this process runs code page " << GetACP();
    SwitchOn();
    CDebugLog log;
    log.Comment("J\xFCrgen M\xFCller & S\xF6hne \x80");
    EXPECT_EQ("<comment>J&#252;rgen M&#252;ller &amp; S&#246;hne &#8364;</comment>\n",
              Body(OnlyLogFile()));
}

TEST_F(DebugLogTest, HResultNamesTheCodeClass)
{
    struct Case {
        DWORD code;
        const char* name;
    };
    const Case cases[] = {
        {0x800106BE, "RPC Error - RPC_S_CALL_FAILED"},
        {0x80004005, "E_CONSTANT"},
        {1, "E_CONSTANT"},
        {4002, "E_CONSTANT"},
        {0x80030001, "E_CONSTANT"},
        {0x80030006, "E_CONSTANT"},
        {0x80030007, "UNKNOWN"},
        {0x800300FA, "E_CONSTANT"},
        {0x80030107, "E_CONSTANT"},
        {0x80030108, "UNKNOWN"},
        {0x80070057, "E_CONSTANT"},
        {5, "UNKNOWN"},
        {0x80040205, "UNKNOWN"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.name, CDebugLog::ClassOf(static_cast<HRESULT>(c.code)))
            << std::hex << c.code;

    SwitchOn();
    CDebugLog log;
    log.HResult("COutAddIn::OnConnection", S_OK);
    log.HResult("COutAddIn::OnConnection", E_FAIL);
    EXPECT_EQ("<error><details>Error in COutAddIn&#58;&#58;OnConnection&#44; E&#95;CONSTANT "
              "&#40;0x80004005&#41;\r\n</details></error>\n",
              Body(OnlyLogFile()));
}

TEST_F(DebugLogTest, WhatTheCatchBarrierCatchesIsAnErrorRecord)
{
    SwitchOn();
    CDebugLog log;
    CDebugLog::SetProcess(&log);
    const unsigned edge = __LINE__ + 1;
    const HRESULT hr = CatchAtEdge("CSink::Invoke", [] {
        THROW_IF_FAILED(E_ACCESSDENIED);
        return S_OK;
    });
    CDebugLog::SetProcess(nullptr);
    EXPECT_HR(E_ACCESSDENIED, hr);
    char text[200];
    std::snprintf(text, sizeof text,
                  "Caught in CSink::Invoke (test_debuglog.cpp:%u): 0x80070005 E_ACCESSDENIED, "
                  "thrown at test_debuglog.cpp:%u",
                  edge, edge + 1);
    EXPECT_EQ("<error><details>" + XmlEscaped(text).str() + "</details></error>\n",
              Body(OnlyLogFile()));
}

TEST_F(DebugLogTest, LastErrorCarriesTheCodeAndTheSystemText)
{
    SwitchOn();
    CDebugLog log;
    SetLastError(ERROR_FILE_NOT_FOUND);
    log.LastError("CreateFile");
    const std::string body = Body(OnlyLogFile());
    EXPECT_EQ(0u, body.find("<error><details>CreateFile failed with error 2&#58; ")) << body;
    EXPECT_GT(body.size(), std::string("<error><details>CreateFile failed with error 2&#58; "
                                       "</details></error>\n")
                               .size())
        << "the system's message follows: " << body;
}

TEST_F(DebugLogTest, CloseLeavesAWellFormedDocument)
{
    SwitchOn();
    std::string path;
    {
        CDebugLog log;
        log.Enter("A::B");
        log.Comment("quote \" and apostrophe ' and tab\t");
        log.Exit("A::B");
        path = log.GetFilePath().str();
        log.Close();
        EXPECT_FALSE(log.IsOn());
        log.Comment("after close");
    }
    const std::string contents = ReadFileBytes(path);
    EXPECT_EQ("</Diagnostics>\n", contents.substr(contents.size() - 15));
    CXMLDoc document;
    EXPECT_HR(S_OK, document.LoadFile(path.c_str())) << contents;
}

TEST_F(DebugLogTest, LongTextsAreCutBetweenEntries)
{
    SwitchOn();
    CDebugLog log;
    log.Comment(std::string(3000, '&').c_str());
    const std::string body = Body(OnlyLogFile());
    const std::string prefix = "<comment>";
    const std::string suffix = "</comment>\n";
    ASSERT_EQ(0u, body.find(prefix));
    const std::string escaped =
        body.substr(prefix.size(), body.size() - prefix.size() - suffix.size());
    EXPECT_LT(escaped.size(), 4096u);
    EXPECT_EQ(0u, escaped.size() % 5) << "only whole \"&amp;\" entries";
    EXPECT_EQ(suffix, body.substr(body.size() - suffix.size()));
}

TEST_F(DebugLogTest, FormattedCommentsAreCutAndWarnedAbout)
{
    SwitchOn();
    CDebugLog log;
    log.CommentFormat("Value=%s", std::string(2000, 'x').c_str());
    const std::string body = Body(OnlyLogFile());
    const std::string warning = "<warning><details>The follow comment might be truncated due to "
                                "wsprintf limitation</details></warning>\n";
    ASSERT_EQ(0u, body.find(warning)) << body.substr(0, 200);
    EXPECT_EQ("<comment>Value&#61;" + std::string(1024 - 6, 'x') + "</comment>\n",
              body.substr(warning.size()));
}

TEST_F(DebugLogTest, TwoLogsStartedInOneSecondKeepTheirOwnFiles)
{
    SwitchOn();
    CDebugLog first;
    CDebugLog second;
    first.Comment("first");
    second.Comment("second");
    EXPECT_NE(first.GetFilePath(), second.GetFilePath());
    EXPECT_EQ("<comment>first</comment>\n", Body(ReadFileBytes(first.GetFilePath().str())));
    EXPECT_EQ("<comment>second</comment>\n", Body(ReadFileBytes(second.GetFilePath().str())));
}

TEST_F(DebugLogTest, MessageBoxFlagShowsEveryRecord)
{
    SwitchOn(CDebugLog::kMessageBox);
    CDialogAnswerer answerer(IDOK);
    {
        CDebugLog log;
        log.Enter("A::B");
        log.Comment("hello");
        log.Error("bad");
        log.Warning("careful");
        log.Exit("A::B");
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Inkstave", "Entering A::B!"},
        {"Inkstave", "hello"},
        {"Inkstave", "ERROR: bad!"},
        {"Inkstave", "WARNING: careful"},
        {"Inkstave", "Exiting A::B!"}};
    EXPECT_EQ(expected, answerer.Seen());
}

TEST_F(DebugLogTest, ConsoleOf80By300ShowsTheConsoleForms)
{
    SwitchOn();
    const std::string tool = ProgramFolder() + "logtool.exe";
    const std::string report = TempDir() + "console.txt";
    ASSERT_EQ(0, RunProcess("\"" + tool + "\" \"" + report + "\"", DETACHED_PROCESS));
    const std::string shown = ReadFileBytes(report);
    ASSERT_EQ(0u, shown.find("console=1 size=80x300\n")) << shown;
    std::string screen = shown.substr(shown.find('\n') + 1);
    // Each console row is 80 characters wide; the records wrap at "\n".
    EXPECT_EQ(std::string("A::B {") + std::string(74, ' '), screen.substr(0, 80));
    EXPECT_EQ(std::string("Comment: hello") + std::string(66, ' '), screen.substr(80, 80));
    EXPECT_EQ("} A::B", screen.substr(160, 6));
    // The console is the log's: its keys and its Close never end the host.
    EXPECT_NE(std::string::npos, shown.find("survived the keys")) << shown;
    EXPECT_EQ(std::string::npos, shown.find("offers Close")) << shown;
}
