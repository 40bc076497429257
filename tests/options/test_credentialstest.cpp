// The page's "Test Credentials" against the stand-in service: the typed
// credentials, never the stored ones, decide; every outcome ends with its
// own text in the result line, a silent service within the wire's limits;
// and the test writes nothing and changes nothing the dialog would apply.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include <wininet.h>

#include "options/OptionsResource.h"
#include "tests/options/OptionsTest.h"
#include "tests/support/ServiceTest.h"

using namespace optionstest;
using namespace testenv;

namespace {

constexpr char kAddress[] = "127.0.2.1";
// Nothing listens here.
constexpr char kNoService[] = "127.0.2.9";

// The WinINet handles open in this process. Wine numbers them from 1 up,
// reusing the lowest free number, so a short scan finds every one.
int OpenInternetHandles()
{
    int open = 0;
    for (UINT_PTR number = 1; number < 1024; ++number) {
        DWORD type = 0;
        DWORD size = sizeof type;
        if (InternetQueryOptionA(reinterpret_cast<HINTERNET>(number), INTERNET_OPTION_HANDLE_TYPE,
                                 &type, &size))
            ++open;
    }
    return open;
}

class CredentialsTestTest : public ServiceTestOn<kAddress> {
protected:
    static void SetUpTestSuite()
    {
        ServiceTestOn<kAddress>::SetUpTestSuite();
        ASSERT_EQ(S_OK, RegisterLibrary(ProgramFolder() + "QuillOpts.dll", true));
    }
    static void TearDownTestSuite()
    {
        CoFreeUnusedLibrariesEx(0, 0);
        RegisterLibrary(ProgramFolder() + "QuillOpts.dll", false);
        ServiceTestOn<kAddress>::TearDownTestSuite();
    }
};

} // namespace

TEST_F(CredentialsTestTest, EachOutcomeEndsWithItsTextAndNothingIsWritten)
{
    struct Row {
        const char* name;
        const char* host;
        const char* accountId;
        const char* behaviour; // what the service does instead, or null
        const char* shown;
    };
    for (const Row& row : {
             Row{.name = "valid",
            .host = kAddress,
            .accountId = standin::kDefaultApiCode,
            .behaviour = nullptr,
            .shown = "Credentials are valid!"},
             Row{.name = "wrong account",
             .host = kAddress,
             .accountId = "QUILLET-NOBODY",
             .behaviour = nullptr,
             .shown = "Credentials are invalid!"},
             Row{.name = "no service at the host",
             .host = kNoService,
             .accountId = standin::kDefaultApiCode,
             .behaviour = nullptr,
             .shown = "Credentials are invalid!"},
             Row{.name = "silent service",
             .host = kAddress,
             .accountId = standin::kDefaultApiCode,
             .behaviour =
                     R"({"kind": "stall", "method": "GetUserInfo", "sendBytes": 0, "hold": 120})",
             .shown = "Credentials are invalid!"},
         }) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(Service().Reset());
        if (row.behaviour) {
            ASSERT_TRUE(Service().SetBehaviour(row.behaviour)) << Service().LastError();
        }
        SHDeleteKeyA(HKEY_CURRENT_USER, kCompanyKey);
        WriteText(kProductKey, "Host", row.host);
        WriteDword(kProductKey, "SSL", 0);
        // Stored credentials that would log in: the typed ones must decide.
        CCredentials stored = Demo();
        ASSERT_EQ(S_OK, CConfig().SetCredentials(stored));
        const auto before = ReadValue(kProductKey, "Credentials");

        std::string shown;
        CScriptedUser::Limits limits;
        limits.deadlineMs = 120000;
        const ULONGLONG started = GetTickCount64();
        const OptionsRun run = RunOptions(
            [&](CScriptedUser& user) {
                user.Type(IDC_USERNAME, standin::kDefaultEmail)
                    .Type(IDC_ACCOUNT_ID, row.accountId)
                    .Click(IDC_TEST_CREDENTIALS)
                    .Do("reads the result",
                        [&](HWND dialog) {
                            shown = ControlText(dialog, IDC_TEST_RESULT);
                            return true;
                        })
                    .Click(IDCANCEL);
            },
            limits);
        const ULONGLONG took = GetTickCount64() - started;
        ASSERT_TRUE(run.scriptDone) << run.report;
        EXPECT_EQ(row.shown, shown);
        EXPECT_LT(took, 70000u);
        // Two edits were changes; the test itself is none.
        EXPECT_EQ(2, run.Page().statusChanges);
        EXPECT_TRUE(run.Page().applies.empty());
        const auto after = ReadValue(kProductKey, "Credentials");
        ASSERT_TRUE(before && after);
        EXPECT_EQ(before->data, after->data) << "the test stored nothing";
    }
}

// WinINet must not be called while a library unloads, and the library may
// unload as soon as its last page is gone: by then the test has closed
// every handle it opened.
TEST_F(CredentialsTestTest, NoInternetHandleOutlivesTheTest)
{
    // The test program's own connection goes first: only the page's count.
    m_protocol.Disconnect();
    ASSERT_EQ(0, OpenInternetHandles());
    std::string shown;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Type(IDC_USERNAME, standin::kDefaultEmail)
            .Type(IDC_ACCOUNT_ID, standin::kDefaultApiCode)
            .Click(IDC_TEST_CREDENTIALS)
            .Do("reads the result",
                [&](HWND dialog) {
                    shown = ControlText(dialog, IDC_TEST_RESULT);
                    return true;
                })
            .Click(IDCANCEL);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    EXPECT_EQ("Credentials are valid!", shown);
    EXPECT_EQ(0, OpenInternetHandles());
}
