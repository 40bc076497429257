// The options page in the Outlook stand-in's Options dialog, played by a
// scripted user: dirty tracking and the page site, what Apply writes and
// what it refuses, the dependent check boxes, the locked template settings,
// where each setting's first value comes from, the version shown, and that
// the page lets go of everything when the dialog closes.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include "options/OptionsResource.h"
#include "shared/config/Config.h"
#include "tests/options/OptionsTest.h"
#include "tests/support/HResultText.h"

using namespace optionstest;
using namespace testenv;
using standin::COptionsDialog;

namespace {

std::optional<DWORD> StoredDword(const char* name)
{
    const auto value = ReadValue(kProductKey, name);
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD))
        return std::nullopt;
    return *reinterpret_cast<const DWORD*>(value->data.data());
}

std::optional<std::string> StoredText(const char* name)
{
    const auto value = ReadValue(kProductKey, name);
    if (!value || value->type != REG_SZ)
        return std::nullopt;
    std::string text = value->data;
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

bool Checked(HWND dialog, int id)
{
    return SendMessageA(Control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool Enabled(HWND dialog, int id)
{
    return IsWindowEnabled(Control(dialog, id)) != FALSE;
}

HMODULE LoadedPageLibrary()
{
    return GetModuleHandleA((ProgramFolder() + "QuillOpts.dll").c_str());
}

} // namespace

TEST_F(OptionsPageTest, OnlyTheUsersEditsMakeThePageDirtyAndEnableApply)
{
    bool applyWhenShown = true;
    bool applyAfterEdit = false;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Do("looks at Apply",
                [&](HWND dialog) {
                    applyWhenShown =
                        IsWindowEnabled(GetDlgItem(dialog, COptionsDialog::kApplyButton));
                    return true;
                })
            .Type(IDC_USERNAME, "ann@example.com")
            .Do("looks at Apply again",
                [&](HWND dialog) {
                    applyAfterEdit =
                        IsWindowEnabled(GetDlgItem(dialog, COptionsDialog::kApplyButton));
                    return true;
                })
            .Click(IDCANCEL);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    const auto& page = run.Page();
    ASSERT_HR(S_OK, page.created);
    EXPECT_TRUE(page.activated);
    // Loading the controls is no change of the user's.
    EXPECT_FALSE(page.dirtyWhenShown);
    EXPECT_FALSE(applyWhenShown);
    // The first edit: one status change, dirty when the dialog asks.
    EXPECT_EQ(1, page.statusChanges);
    EXPECT_EQ(std::vector<bool>{true}, page.dirtyAtStatusChange);
    EXPECT_TRUE(applyAfterEdit);
    EXPECT_TRUE(page.applies.empty()) << "Cancel applies nothing";
    EXPECT_FALSE(StoredText("TemplateFolder")) << "nothing is written without Apply";

    // Closed, the page let go of its site and of itself.
    EXPECT_EQ(0, page.siteReferencesLeft);
    ASSERT_TRUE(LoadedPageLibrary());
    EXPECT_HR(S_OK, CallExport(LoadedPageLibrary(), "DllCanUnloadNow"));
}

TEST_F(OptionsPageTest, ApplyWritesEverySettingAndTheSharedReaderReadsTheCredentials)
{
    const std::string folder = TempDir() + "My Templates";
    // Accented letters in the process code page, as the user types them.
    const std::string email = "zo\xEB.m\xFCller@example.com";
    const std::string password = "p\xE4ssw\xF6rd";
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Type(IDC_USERNAME, email)
            .Type(IDC_PASSWORD, password)
            .Type(IDC_ACCOUNT_ID, "ACC-0042")
            .Check(IDC_MAKE_RECEIPT, false)
            .Check(IDC_TEMPLATES_ONLY, true)
            .Check(IDC_SINGLE_CLICK, true)
            .Type(IDC_TEMPLATE_FOLDER, folder)
            .Click(IDOK);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, run.Page().applies);

    struct Row {
        const char* name;
        DWORD value;
    };
    for (const Row& row :
         {Row{.name = "MakeReceipt", .value = 0},
          Row{.name = "ShowReceipt", .value = 0}, // unticked with its master
          Row{.name = "GotoShortcuts", .value = 1}, Row{.name = "TemplatesOnly", .value = 1},
          Row{.name = "SingleClick", .value = 1}}) {
        SCOPED_TRACE(row.name);
        const auto stored = StoredDword(row.name);
        ASSERT_TRUE(stored);
        EXPECT_EQ(row.value, *stored);
    }
    EXPECT_EQ(folder, StoredText("TemplateFolder"));
    EXPECT_EQ("", StoredText("Gateways")) << "no gateway is installed";

    CCredentials credentials;
    ASSERT_HR(S_OK, CConfig().GetCredentials(credentials));
    EXPECT_STREQ(email.c_str(), credentials.m_email);
    EXPECT_STREQ(password.c_str(), credentials.m_password);
    EXPECT_STREQ("ACC-0042", credentials.m_accountId);
}

TEST_F(OptionsPageTest, CredentialsThatDoNotFitTheStoredBlockAreRefusedWhole)
{
    // Three fields and two tabs in UTF-16: 128 characters fill the block.
    struct Row {
        const char* name;
        size_t emailLength;
        bool fits;
    };
    for (const Row& row :
         {Row{.name = "filling the block", .emailLength = 128 - 2 - 2 - 2, .fits = true},
          Row{.name = "one character more", .emailLength = 128 - 2 - 2 - 1, .fits = false}}) {
        SCOPED_TRACE(row.name);
        SHDeleteKeyA(HKEY_CURRENT_USER, kCompanyKey);
        const std::string email(row.emailLength, 'e');
        const OptionsRun run = RunOptions([&](CScriptedUser& user) {
            user.Type(IDC_USERNAME, email).Type(IDC_PASSWORD, "pw").Type(IDC_ACCOUNT_ID, "id");
            user.Click(IDOK);
            if (!row.fits)
                user.AnswerMessageBox(IDOK).Expect("Options").Click(IDCANCEL);
        });
        ASSERT_TRUE(run.scriptDone) << run.report;
        CCredentials credentials;
        if (row.fits) {
            EXPECT_EQ(std::vector<HRESULT>{S_OK}, run.Page().applies);
            ASSERT_HR(S_OK, CConfig().GetCredentials(credentials));
            EXPECT_STREQ(email.c_str(), credentials.m_email);
            EXPECT_STREQ("pw", credentials.m_password);
            EXPECT_STREQ("id", credentials.m_accountId);
        } else {
            EXPECT_EQ(std::vector<HRESULT>{E_INVALIDARG}, run.Page().applies);
            EXPECT_EQ(IDCANCEL, run.ended) << "the dialog stayed open for the user to mend them";
            EXPECT_FALSE(ReadValue(kProductKey, "Credentials"));
            EXPECT_FALSE(StoredDword("MakeReceipt")) << "nothing at all was written";
        }
    }
}

TEST_F(OptionsPageTest, DependentBoxesFollowTheirMasters)
{
    struct Row {
        const char* name;
        int master;
        int dependent;
    };
    const Row rows[] = {
        {.name = "receipts", .master = IDC_MAKE_RECEIPT, .dependent = IDC_SHOW_RECEIPT},
        {.name = "templates", .master = IDC_TEMPLATES_ONLY, .dependent = IDC_SINGLE_CLICK},
    };
    // Start with every master and dependent ticked.
    WriteDword(kProductKey, "TemplatesOnly", 1);
    WriteDword(kProductKey, "SingleClick", 1);
    struct Seen {
        bool uncheckedWhenOff = false, disabledWhenOff = false;
        bool enabledWhenOn = false, uncheckedWhenOn = false;
    };
    std::vector<Seen> seen(std::size(rows));
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        for (size_t i = 0; i < std::size(rows); ++i) {
            const Row& row = rows[i];
            user.Check(row.master, false)
                .Do("looks at the dependent box",
                    [&, i](HWND dialog) {
                        seen[i].uncheckedWhenOff = !Checked(dialog, row.dependent);
                        seen[i].disabledWhenOff = !Enabled(dialog, row.dependent);
                        return true;
                    })
                .Check(row.master, true)
                .Do("looks at it again", [&, i](HWND dialog) {
                    seen[i].enabledWhenOn = Enabled(dialog, row.dependent);
                    seen[i].uncheckedWhenOn = !Checked(dialog, row.dependent);
                    return true;
                });
        }
        user.Click(IDCANCEL);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_TRUE(seen[i].uncheckedWhenOff);
        EXPECT_TRUE(seen[i].disabledWhenOff);
        EXPECT_TRUE(seen[i].enabledWhenOn);
        EXPECT_TRUE(seen[i].uncheckedWhenOn) << "ticking the master does not tick it back";
    }
}

TEST_F(OptionsPageTest, LockedTemplatesDisableTheFolderAndBothTemplateBoxesOnly)
{
    WriteDword(kProductKey, "LockTemplates", 1);
    WriteDword(kProductKey, "TemplatesOnly", 1);
    struct Row {
        int id;
        bool enabled;
    };
    const Row rows[] = {{.id = IDC_TEMPLATE_FOLDER, .enabled = false},
                        {.id = IDC_TEMPLATES_ONLY, .enabled = false},
                        {.id = IDC_SINGLE_CLICK, .enabled = false},
                        {.id = IDC_BROWSE_FOLDER, .enabled = true},
                        {.id = IDC_EDIT_TEMPLATES, .enabled = true}};
    std::vector<bool> enabled;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Do("looks at the template settings",
                [&](HWND dialog) {
                    for (const Row& row : rows)
                        enabled.push_back(Enabled(dialog, row.id));
                    return true;
                })
            .Click(IDCANCEL);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    ASSERT_EQ(std::size(rows), enabled.size());
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(rows[i].enabled, enabled[i]) << "control " << rows[i].id;
}

TEST_F(OptionsPageTest, TheRegistryBeatsTheDefaultsFileWhichBeatsTheBuiltInDefault)
{
    const std::string defaultsFile = ProgramFolder() + "inkDefaults.xml";
    struct Row {
        const char* name;
        std::optional<DWORD> registry;
        const char* defaults; // the file's MakeReceipt element, or none
        bool checked;
    };
    for (const Row& row :
         {Row{.name = "registry over file", .registry = 0, .defaults = "1", .checked = false},
          Row{.name = "file over built-in",
          .registry = std::nullopt,
          .defaults = "0",
          .checked = false},
          Row{.name = "built-in",
          .registry = std::nullopt,
          .defaults = nullptr,
          .checked = true}}) {
        SCOPED_TRACE(row.name);
        SHDeleteKeyA(HKEY_CURRENT_USER, kCompanyKey);
        DeleteFileA(defaultsFile.c_str());
        if (row.registry)
            WriteDword(kProductKey, "MakeReceipt", *row.registry);
        if (row.defaults)
            WriteFileBytes(defaultsFile,
                           std::string("<?xml version=\"1.0\"?>\n<inkDefaults><MakeReceipt>") +
                               row.defaults + "</MakeReceipt></inkDefaults>\n");
        bool checked = !row.checked;
        const OptionsRun run = RunOptions([&](CScriptedUser& user) {
            user.Do("looks at Generate receipts",
                    [&](HWND dialog) {
                        checked = Checked(dialog, IDC_MAKE_RECEIPT);
                        return true;
                    })
                .Click(IDCANCEL);
        });
        DeleteFileA(defaultsFile.c_str());
        ASSERT_TRUE(run.scriptDone) << run.report;
        EXPECT_EQ(row.checked, checked);
    }
}

TEST_F(OptionsPageTest, AFolderThatCannotBeMadeKeepsTheStoredOne)
{
    // The stored folder is a file: it can be neither read nor made.
    const std::string blocked = TempDir() + "not a folder";
    WriteFileBytes(blocked, "x");
    WriteText(kProductKey, "TemplateFolder", blocked);
    std::string shown = "?";
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Do("reads the folder",
                [&](HWND dialog) {
                    shown = ControlText(dialog, IDC_TEMPLATE_FOLDER);
                    return true;
                })
            .Click(IDC_GOTO_SHORTCUTS)
            .Click(IDOK);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    EXPECT_EQ("", shown);
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, run.Page().applies);
    EXPECT_EQ(blocked, StoredText("TemplateFolder"));
}

TEST_F(OptionsPageTest, TheVersionShowsTheLibrarysFileVersionTwoWide)
{
    std::string version;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Do("reads the version",
                [&](HWND dialog) {
                    version = ControlText(dialog, IDC_VERSION);
                    return true;
                })
            .Click(IDCANCEL);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    // A one-digit major number gets a blank in front.
    EXPECT_EQ(std::string(" ") + QUILLET_VERSION, version);
}
