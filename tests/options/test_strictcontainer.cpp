// The page in an Options dialog as strict as a real container: the control
// is hidden and deactivated when its tab is switched away and activated
// again when it comes back, and Apply comes while its window is gone or
// before it was ever made.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include "options/OptionsResource.h"
#include "shared/config/Config.h"
#include "standins/gateway/SampleGatewayIds.h"
#include "tests/options/OptionsTest.h"
#include "tests/support/HResultText.h"

using namespace optionstest;
using namespace testenv;
using standin::COptionsDialog;
using HiddenTab = standin::COptionsDialog::HiddenTab;

namespace {

std::optional<DWORD> StoredDword(const char* name)
{
    const auto value = ReadValue(kProductKey, name);
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD))
        return std::nullopt;
    return *reinterpret_cast<const DWORD*>(value->data.data());
}

std::string StoredText(const char* name)
{
    const auto value = ReadValue(kProductKey, name);
    std::string text = value ? value->data : "<none>";
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

bool Checked(HWND dialog, int id)
{
    return SendMessageA(Control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

} // namespace

TEST_F(OptionsPageTest, WhatTheUserSetOutlivesThePagesWindowAndApplyWritesIt)
{
    const std::string defaultFolder = [] {
        CString folder;
        return SUCCEEDED(CConfig().GetTemplateFolder(folder)) ? std::string(folder.GetString())
                                                              : std::string();
    }();
    ASSERT_FALSE(defaultFolder.empty());
    bool typedShownAgain = false;
    bool receiptsShownAgain = true;
    bool followerEnabledAgain = true;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Type(IDC_USERNAME, "ann@example.com")
            .Type(IDC_PASSWORD, "pw")
            .Type(IDC_ACCOUNT_ID, "ACC-1")
            .Check(IDC_MAKE_RECEIPT, false)
            .PickTab("Preferences")
            .PickTab("Quillet")
            .Do("looks at the page again",
                [&](HWND dialog) {
                    typedShownAgain = ControlText(dialog, IDC_USERNAME) == "ann@example.com" &&
                                      ControlText(dialog, IDC_ACCOUNT_ID) == "ACC-1";
                    receiptsShownAgain = Checked(dialog, IDC_MAKE_RECEIPT);
                    followerEnabledAgain =
                        IsWindowEnabled(Control(dialog, IDC_SHOW_RECEIPT)) != FALSE;
                    return true;
                })
            // OK while another tab is in front: the page's window is gone.
            .PickTab("Preferences")
            .Click(IDOK);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    EXPECT_EQ(2, run.Page().activations);
    EXPECT_TRUE(typedShownAgain) << "the second window shows what the user typed";
    EXPECT_FALSE(receiptsShownAgain);
    EXPECT_FALSE(followerEnabledAgain);
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, run.Page().applies);

    CCredentials credentials;
    ASSERT_HR(S_OK, CConfig().GetCredentials(credentials));
    EXPECT_STREQ("ann@example.com", credentials.m_email);
    EXPECT_STREQ("pw", credentials.m_password);
    EXPECT_STREQ("ACC-1", credentials.m_accountId);
    struct Row {
        const char* name;
        DWORD value;
    };
    for (const Row& row :
         {Row{.name = "MakeReceipt", .value = 0}, Row{.name = "ShowReceipt", .value = 0},
          Row{.name = "GotoShortcuts", .value = 1}, Row{.name = "TemplatesOnly", .value = 0},
          Row{.name = "SingleClick", .value = 0}}) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.value, StoredDword(row.name));
    }
    EXPECT_EQ(defaultFolder, StoredText("TemplateFolder"));
}

TEST_F(OptionsPageTest, APageNeverShownIsAppliedOnOkAndWritesNothing)
{
    WriteDword(kProductKey, "MakeReceipt", 0);
    const OptionsRun run =
        RunOptions([](CScriptedUser& user) { user.Click(IDOK); }, {}, {.pickPage = false});
    ASSERT_TRUE(run.scriptDone) << run.report;
    EXPECT_EQ(IDOK, run.ended);
    EXPECT_FALSE(run.Page().activated);
    EXPECT_EQ(std::vector<HRESULT>{S_FALSE}, run.Page().applies) << "nothing written, and said";
    EXPECT_EQ(0u, StoredDword("MakeReceipt"));
    EXPECT_FALSE(ReadValue(kProductKey, "Credentials"));
    EXPECT_FALSE(ReadValue(kProductKey, "GotoShortcuts"));
}

namespace {

class StrictGatewaysTest : public OptionsPageTest {
protected:
    void SetUp() override
    {
        OptionsPageTest::SetUp();
        ASSERT_EQ(S_OK, RegisterLibrary(ProgramFolder() + "SampleGateway.dll", true));
        SHDeleteKeyA(HKEY_CURRENT_USER, kSampleGatewayKey);
    }
    void TearDown() override
    {
        CoFreeUnusedLibrariesEx(0, 0);
        RegisterLibrary(ProgramFolder() + "SampleGateway.dll", false);
        SHDeleteKeyA(HKEY_CURRENT_USER, kSampleGatewayKey);
        OptionsPageTest::TearDown();
    }
};

} // namespace

TEST_F(StrictGatewaysTest, EachActivationShowsEachGatewayOnceAndLeavesThePageClean)
{
    // A is enabled, stored without its tab.
    WriteText(kProductKey, "Gateways", kSampleGatewayAText);
    std::vector<std::string> first, again;
    bool applyEnabledAgain = true;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Do("looks at the gateways",
                [&](HWND dialog) {
                    first = ListRows(dialog, IDC_GATEWAYS);
                    return true;
                })
            .PickTab("Preferences")
            .PickTab("Quillet")
            .Do("looks at them again",
                [&](HWND dialog) {
                    again = ListRows(dialog, IDC_GATEWAYS);
                    applyEnabledAgain =
                        IsWindowEnabled(GetDlgItem(dialog, COptionsDialog::kApplyButton));
                    return true;
                })
            .Click(IDOK);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    EXPECT_EQ(2, run.Page().activations);
    EXPECT_EQ(2u, first.size());
    EXPECT_EQ(first, again);
    EXPECT_FALSE(applyEnabledAgain);
    EXPECT_EQ(0, run.Page().statusChanges);
    EXPECT_EQ(std::string(kSampleGatewayAText) + "\t", StoredText("Gateways"));
}
