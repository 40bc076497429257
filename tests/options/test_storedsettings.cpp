// What Apply does to settings the user did not touch: the stored
// credentials stay as they were unless one of their three fields was
// changed, and a setting stored with another type than ours is shown and
// written back for what it means, never for its bytes.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "options/OptionsResource.h"
#include "shared/config/Blowfish.h"
#include "shared/config/Config.h"
#include "tests/options/OptionsTest.h"

using namespace optionstest;
using namespace testenv;

namespace {

// Stores the credentials text as the deliverables do (UTF-16, padded to
// whole blocks, enciphered), straight from UTF-16: it may hold letters no
// ANSI code page of this process has.
void StoreCredentialsText(const std::wstring& text)
{
    std::string plain(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    plain.resize((plain.size() + 7) / 8 * 8, '\0');
    std::string stored(plain.size(), '\0');
    CBlowfish cipher;
    const BYTE key[] = {'Q', 'u', '1', 'l', 'l', '3', 't', '!'};
    cipher.Initialize(key, sizeof key);
    cipher.Encode(reinterpret_cast<const BYTE*>(plain.data()),
                  reinterpret_cast<BYTE*>(stored.data()), static_cast<DWORD>(plain.size()));
    WriteBinary(kProductKey, "Credentials", stored);
}

std::optional<DWORD> StoredDword(const char* name)
{
    const auto value = ReadValue(kProductKey, name);
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD))
        return std::nullopt;
    return *reinterpret_cast<const DWORD*>(value->data.data());
}

bool Checked(HWND dialog, int id)
{
    return SendMessageA(Control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

} // namespace

TEST_F(OptionsPageTest, StoredCredentialsAreRewrittenOnlyWhenTheUserChangedOne)
{
    // The password is Cyrillic and Greek: no ANSI code page has both, so
    // the edits can only show it as question marks.
    const std::wstring text = L"ann@example.com\t\x043F\x0430\x0440\x043E\x043B\x044C-"
                              L"\x03BB\x03CC\x03B3\x03BF\x03C2\tACC-0042";
    struct Row {
        const char* name;
        int changed;               // the edit the user types into, or 0
        const char* typed;         // what they type there
        const char* storedAccount; // the account ID stored after OK
    };
    for (const Row& row : {Row{.name = "a box ticked only",
                          .changed = 0,
                          .typed = nullptr,
                          .storedAccount = "ACC-0042"},
                           Row{.name = "the account ID typed anew",
                           .changed = IDC_ACCOUNT_ID,
                           .typed = "ACC-0043",
                           .storedAccount = "ACC-0043"}}) {
        SCOPED_TRACE(row.name);
        SHDeleteKeyA(HKEY_CURRENT_USER, kCompanyKey);
        StoreCredentialsText(text);
        const auto before = ReadValue(kProductKey, "Credentials");
        ASSERT_TRUE(before);
        std::string shownAccount;
        const OptionsRun run = RunOptions([&](CScriptedUser& user) {
            user.Do("reads the account ID",
                    [&](HWND dialog) {
                        shownAccount = ControlText(dialog, IDC_ACCOUNT_ID);
                        return true;
                    })
                .Click(IDC_GOTO_SHORTCUTS);
            if (row.changed)
                user.Type(row.changed, row.typed);
            user.Click(IDOK);
        });
        ASSERT_TRUE(run.scriptDone) << run.report;
        EXPECT_EQ("ACC-0042", shownAccount) << "the stored credentials were loaded";
        EXPECT_EQ(std::vector<HRESULT>{S_OK}, run.Page().applies);
        EXPECT_EQ(std::optional<DWORD>(0), StoredDword("GotoShortcuts"));
        const auto after = ReadValue(kProductKey, "Credentials");
        ASSERT_TRUE(after);
        CCredentials stored;
        ASSERT_EQ(S_OK, CConfig().GetCredentials(stored));
        EXPECT_STREQ(row.storedAccount, stored.m_accountId);
        if (!row.changed) {
            EXPECT_EQ(before->data, after->data) << "the untouched credentials stay as stored";
        }
    }
}

TEST_F(OptionsPageTest, SettingsOfAnotherTypeAreShownAndAppliedForWhatTheyMean)
{
    // An administrator's texts where the page writes DWORDs, and a folder
    // stored as a number.
    WriteText(kProductKey, "MakeReceipt", "0");
    WriteText(kProductKey, "TemplatesOnly", "1");
    WriteDword(kProductKey, "TemplateFolder", 0x5C3A43); // the bytes of "C:\"
    bool makeReceipt = true;
    bool templatesOnly = false;
    std::string shownFolder;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Do("looks at the settings",
                [&](HWND dialog) {
                    makeReceipt = Checked(dialog, IDC_MAKE_RECEIPT);
                    templatesOnly = Checked(dialog, IDC_TEMPLATES_ONLY);
                    shownFolder = ControlText(dialog, IDC_TEMPLATE_FOLDER);
                    return true;
                })
            .Click(IDC_GOTO_SHORTCUTS)
            .Click(IDOK);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    EXPECT_FALSE(makeReceipt) << "the text 0 is off";
    EXPECT_TRUE(templatesOnly) << "the text 1 is on";
    char appData[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData));
    EXPECT_EQ(std::string(appData) + "\\Quillet\\Templates", shownFolder)
        << "a folder stored as a number is no folder: the default shows";
    // Apply writes what the page showed, in our own types.
    EXPECT_EQ(std::optional<DWORD>(0), StoredDword("MakeReceipt"));
    EXPECT_EQ(std::optional<DWORD>(1), StoredDword("TemplatesOnly"));
}
