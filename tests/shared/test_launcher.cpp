// CLauncher: the programs beside the add-in, started with a command line
// of their own; a probe program reports how it was started.
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/outlook/Launcher.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

class LauncherTest : public CleanProfileTest {
protected:
    void TearDown() override
    {
        SetEnvironmentVariableA("QUILLET_PROBE_OUT", nullptr);
        // A program that was just started may still hold its file.
        for (const std::string& copy : m_copies) {
            for (int wait = 0; wait < 100 && FileExists(copy) && !DeleteFileA(copy.c_str()); ++wait)
                Sleep(50);
        }
        CleanProfileTest::TearDown();
    }

    static std::string Probe() { return ProgramFolder() + "launchprobe.exe"; }

    void CopyProbe(const std::string& to)
    {
        ASSERT_TRUE(CopyFileA(Probe().c_str(), to.c_str(), FALSE)) << to;
        m_copies.push_back(to);
    }

    // What the probe reported (program, command line, folder), or nothing
    // when it did not report in time.
    static std::vector<std::string> WaitForReport(const std::string& path)
    {
        for (int wait = 0; wait < 400 && !FileExists(path); ++wait)
            Sleep(50);
        std::vector<std::string> lines;
        const std::string report = ReadFileBytes(path);
        for (size_t at = 0, end; (end = report.find('\n', at)) != std::string::npos; at = end + 1)
            lines.push_back(report.substr(at, end - at));
        return lines;
    }

private:
    std::vector<std::string> m_copies;
};

std::string CurrentFolder()
{
    char folder[MAX_PATH * 2];
    DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
    return std::string(folder, length);
}

} // namespace

TEST_F(LauncherTest, ModuleCommandLineQuotesTheProgramAndKeepsTheArgument)
{
    const std::string folder255 = "C:\\" + std::string(253, 'f') + "\\";
    const std::string folder256 = "C:\\" + std::string(254, 'f') + "\\";
    struct Case {
        std::string modulePath;
        const char* program;
        const char* argument;
        const char* expected; // null: refused
    };
    const Case cases[] = {
        {"C:\\Apps\\Q\\QuillOff.dll", "inkProxy.exe", "C:\\Temp\\b.xml",
         R"("C:\Apps\Q\inkProxy.exe" C:\Temp\b.xml)"},
        {"C:\\Apps\\Q\\QuillOff.dll", "inkProxy.exe", "", R"("C:\Apps\Q\inkProxy.exe" )"},
        {"C:\\Apps\\Q\\QuillOff.dll", "inkProxy.exe", nullptr, R"("C:\Apps\Q\inkProxy.exe" )"},
        {"C:\\Program Files\\Q\\QuillOff.dll", "inkProxy.exe", "C:\\My Temp\\b c.xml",
         R"("C:\Program Files\Q\inkProxy.exe" C:\My Temp\b c.xml)"},
        {"C:/Apps/Q/QuillOff.dll", "inkEdit.exe", "a", R"("C:/Apps/Q/inkEdit.exe" a)"},
        {"\\\\server\\share\\QuillOff.dll", "inkProxy.exe", "a",
         R"("\\server\share\inkProxy.exe" a)"},
        {"QuillOff.dll", "inkProxy.exe", "a", R"("inkProxy.exe" a)"},
        {"C:QuillOff.dll", "inkProxy.exe", "a", R"("C:inkProxy.exe" a)"},
        {folder255 + "QuillOff.dll", "inkProxy.exe", "a", nullptr},
        {folder256 + "QuillOff.dll", "inkProxy.exe", "a", nullptr},
        {"C:\\Apps\\Q\"\\QuillOff.dll", "inkProxy.exe", "a", nullptr},
        {"C:\\Apps\\Q\\QuillOff.dll", "", "a", nullptr},
    };
    // The longest folder is still taken whole.
    const std::string longest = "\"" + folder255 + "inkProxy.exe\" a";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.modulePath);
        const bool isLongest = c.modulePath.rfind(folder255, 0) == 0;
        const char* expected = isLongest ? longest.c_str() : c.expected;
        CString line = "untouched";
        EXPECT_EQ(expected != nullptr, CLauncher::MakeModuleCommandLine(
                                           c.modulePath.c_str(), c.program, c.argument, line));
        EXPECT_STREQ(expected ? expected : "untouched", line);
    }
    CString line;
    EXPECT_FALSE(CLauncher::MakeModuleCommandLine(nullptr, "inkProxy.exe", "a", line));
}

TEST_F(LauncherTest, StartsTheProgramBesideTheModuleWithTheExactArgument)
{
    // A folder with a blank, and a program named like the folder's first
    // word beside it, that an unquoted path would start instead.
    const std::string folder = TempDir() + "Apps Q\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    CopyProbe(folder + "inkProxy.exe");
    CopyProbe(TempDir() + "Apps.exe");
    const std::string report = TempDir() + "report.txt";
    SetEnvironmentVariableA("QUILLET_PROBE_OUT", report.c_str());

    for (const char* argument : {"C:\\Temp\\b.xml", "", "C:\\My Temp\\b c.xml"}) {
        SCOPED_TRACE(argument);
        DeleteFileA(report.c_str());
        CLauncher launcher;
        ASSERT_TRUE(launcher.LaunchModuleProgram((folder + "QuillOff.dll").c_str(), "inkProxy.exe",
                                                 argument));
        const auto lines = WaitForReport(report);
        ASSERT_EQ(3u, lines.size()) << "the program did not report";
        EXPECT_EQ(0, lstrcmpiA((folder + "inkProxy.exe").c_str(), lines[0].c_str())) << lines[0];
        EXPECT_EQ("\"" + folder + "inkProxy.exe\" " + argument, lines[1]);
        EXPECT_EQ(0, lstrcmpiA(CurrentFolder().c_str(), lines[2].c_str())) << lines[2];
    }
}

TEST_F(LauncherTest, FailuresAreLoggedAndGiveZero)
{
    LogCapture log;
    CLauncher launcher;
    EXPECT_FALSE(
        launcher.LaunchModuleProgram((TempDir() + "QuillOff.dll").c_str(), "missing.exe", "x"));
    const std::string failed = log.Text();
    EXPECT_TRUE(InOrder(failed, {"<error><details>CBrevikApp::LaunchProcess: Create Process "
                                 "Failed</details></error>",
                                 "<error><details>CBrevikApp::LaunchProcess failed with error "}));
    EXPECT_TRUE(std::regex_search(failed, std::regex("LaunchProcess failed with error [1-9]")))
        << failed;

    // A folder beyond the limit is refused before anything is started.
    const std::string tooLong = "C:\\" + std::string(254, 'f') + "\\QuillOff.dll";
    EXPECT_FALSE(launcher.LaunchModuleProgram(tooLong.c_str(), "inkProxy.exe", "x"));
    const std::string refused = log.Text().substr(failed.size());
    EXPECT_NE(std::string::npos, refused.find("CBrevikApp::LaunchModuleProgram")) << refused;
    EXPECT_EQ(std::string::npos, refused.find("Create Process Failed")) << refused;
}
