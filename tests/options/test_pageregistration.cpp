// QuillOpts.dll's self-registration, key by key, and its removal; and the
// template editor started from the page of a library installed in a folder
// with a blank in its name.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "options/OptionsResource.h"
#include "tests/options/OptionsTest.h"
#include "tests/support/HResultText.h"

using namespace optionstest;
using namespace testenv;

namespace {

constexpr char kAppId[] = "{E348623A-B186-4EE3-B666-03B17BB6F452}";
constexpr char kTypeLib[] = "{48586B12-3531-4BAC-8D74-E25E49E6E7D6}";

struct Entry {
    std::string key;
    const char* name;     // null: the default value
    std::string expected; // empty with keyOnly: the key only has to be there
    bool keyOnly = false;
    bool keptOnRemoval = false;
};

std::vector<Entry> Entries(const std::string& module)
{
    const std::string cls = std::string("CLSID\\") + kPropPageClsid;
    return {
        {.key = "AppID", .name = nullptr, .expected = {}, .keyOnly = true, .keptOnRemoval = true},
        {.key = std::string("AppID\\") + kAppId, .name = nullptr, .expected = "QuillOpts"},
        {.key = "AppID\\QuillOpts.DLL", .name = "AppID", .expected = kAppId},
        {.key = "QuillOpts.PropPage.1", .name = nullptr, .expected = "PropPage Class"},
        {.key = "QuillOpts.PropPage.1\\CLSID", .name = nullptr, .expected = kPropPageClsid},
        {.key = "QuillOpts.PropPage", .name = nullptr, .expected = "PropPage Class"},
        {.key = "QuillOpts.PropPage\\CLSID", .name = nullptr, .expected = kPropPageClsid},
        {.key = "QuillOpts.PropPage\\CurVer", .name = nullptr, .expected = "QuillOpts.PropPage.1"},
        {.key = cls, .name = nullptr, .expected = "PropPage Class"},
        {.key = cls, .name = "AppID", .expected = kAppId},
        {.key = cls + "\\ProgID", .name = nullptr, .expected = "QuillOpts.PropPage.1"},
        {.key = cls + "\\VersionIndependentProgID",
         .name = nullptr,
         .expected = "QuillOpts.PropPage"},
        {.key = cls + "\\Programmable", .name = nullptr, .expected = {}, .keyOnly = true},
        {.key = cls + "\\Control", .name = nullptr, .expected = {}, .keyOnly = true},
        {.key = cls + "\\InprocServer32", .name = nullptr, .expected = module},
        {.key = cls + "\\InprocServer32", .name = "ThreadingModel", .expected = "Apartment"},
        {.key = cls + "\\ToolboxBitmap32", .name = nullptr, .expected = module + ", 9001"},
        {.key = cls + "\\MiscStatus", .name = nullptr, .expected = "0"},
        {.key = cls + "\\MiscStatus\\1", .name = nullptr, .expected = "131473"},
        {.key = cls + "\\TypeLib", .name = nullptr, .expected = kTypeLib},
        {.key = cls + "\\Version", .name = nullptr, .expected = "1.0"},
        {.key = std::string("TypeLib\\") + kTypeLib + "\\1.0",
         .name = nullptr,
         .expected = {},
         .keyOnly = true},
    };
}

} // namespace

TEST_F(OptionsPageTest, RegistrationWritesEveryKeyAndRemovalTakesThemAway)
{
    const std::string module = ProgramFolder() + "QuillOpts.dll";
    const std::vector<Entry> entries = Entries(module);
    for (const Entry& entry : entries) {
        SCOPED_TRACE(entry.key + (entry.name ? std::string(" ") + entry.name : ""));
        if (entry.keyOnly)
            EXPECT_TRUE(ClassesKeyExists(entry.key));
        else
            EXPECT_EQ(entry.expected, ClassesText(entry.key, entry.name).value_or("<missing>"));
    }

    ASSERT_HR(S_OK, RegisterLibrary(module, false));
    for (const Entry& entry : entries) {
        SCOPED_TRACE(entry.key);
        // A value of a key that stays goes with its key's removal or not at
        // all; the keys themselves are what is checked.
        if (entry.name)
            continue;
        EXPECT_EQ(entry.keptOnRemoval, ClassesKeyExists(entry.key));
    }
    ASSERT_HR(S_OK, RegisterLibrary(module, true));
}

TEST_F(OptionsPageTest, EditStartsTheEditorBesideTheLibraryEvenInAFolderWithABlank)
{
    // The library installed in a folder with a blank, the editor beside it
    // (a probe that reports how it was started).
    const std::string folder = TempDir() + "Quillet Programs\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "QuillOpts.dll").c_str(),
                          (folder + "QuillOpts.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "launchprobe.exe").c_str(),
                          (folder + "inkEdit.exe").c_str(), FALSE));
    const std::string report = TempDir() + "probe.txt";
    SetEnvironmentVariableA("QUILLET_PROBE_OUT", report.c_str());
    ASSERT_HR(S_OK, RegisterLibrary(folder + "QuillOpts.dll", true));

    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Click(IDC_EDIT_TEMPLATES)
            .Do("waits for the editor", [&](HWND) { return FileExists(report); })
            .Click(IDCANCEL);
    });
    SetEnvironmentVariableA("QUILLET_PROBE_OUT", nullptr);
    CoFreeUnusedLibrariesEx(0, 0);
    RegisterLibrary(folder + "QuillOpts.dll", false);
    ASSERT_HR(S_OK, RegisterLibrary(ProgramFolder() + "QuillOpts.dll", true));
    ASSERT_TRUE(run.scriptDone) << run.report;

    const std::string probe = ReadFileBytes(report);
    const size_t firstLine = probe.find('\n');
    const size_t secondLine = probe.find('\n', firstLine + 1);
    ASSERT_NE(std::string::npos, secondLine) << probe;
    EXPECT_EQ(folder + "inkEdit.exe", probe.substr(0, firstLine)) << "the editor itself ran";
    // Quoted, one blank, no argument.
    EXPECT_EQ("\"" + folder + "inkEdit.exe\" ",
              probe.substr(firstLine + 1, secondLine - firstLine - 1));
}
