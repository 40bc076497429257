// The operation runner inside a dialog, the error dialog, and the login,
// driven by the scripted user against the stand-in service.
#include <memory>

#include <gtest/gtest.h>

#include "classlib/com/HResult.h"
#include "shared/config/Config.h"
#include "shared/ui/DlgError.h"
#include "shared/service/OpLogin.h"
#include "shared/service/Protocol.h"
#include "shared/ui/ProtocolUI.h"
#include "shared/ui/PumpOp.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/SharedResource.h"
#include "shared/service/WebSvrAPI.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/shared/RunnerTestIds.h"
#include "tests/support/MapiStandIn.h"
#include "tests/support/ServiceTest.h"
#include "tests/support/StandInService.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr char kAddress[] = "127.0.0.7";
constexpr const char* kConnectionFailed =
    "An internal exception has occurred.  Your connection to the remote service has failed.  "
    "Please contact Technical Support.";

// A dialog that runs one login operation through the runner and keeps, for
// every stage message, what the user saw then.
class RunnerHost : public CDialog, public CPumpOp {
public:
    struct Seen {
        int stage;
        int progress;
        std::string pane;
    };

    RunnerHost(CWebSvrAPI* api, BOOL endDialog, BOOL finished)
        : CDialog(IDD_RUNNER_HOST), CPumpOp(api), m_endDialog(endDialog), m_finished(finished)
    {}

    BOOL OnOpDone() override
    {
        ++m_opDoneCalls;
        return m_finished;
    }

    std::vector<Seen> m_seen;
    int m_opDoneCalls = 0;
    CCredentials m_credentials;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        CreateStatusBar(GetSafeHwnd());
        auto* login = new OpLogin(GetApi()->GetServiceUrl());
        login->m_credentials = m_credentials;
        SetOp(login);
        PostMessage(kStageMessage, CWebSvrOp::kPrepare);
        return TRUE;
    }

    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override
    {
        if (message != kStageMessage)
            return FALSE;
        OnStep(*this, static_cast<int>(wParam), m_endDialog);
        // Kept only for a stage the runner took on.
        if (GetStage() == static_cast<int>(wParam))
            m_seen.push_back({static_cast<int>(wParam), GetProgress().GetPos(),
                              GetStatusBar().GetPaneText(1).str()});
        result = 0;
        return TRUE;
    }

    void OnTimer(UINT_PTR id) override
    {
        if (id == kStepTimer)
            OnStepTimer(*this, IDS_LOGIN_REJECTED);
        else
            CDialog::OnTimer(id);
    }

private:
    BOOL m_endDialog;
    BOOL m_finished;
};

using RunnerTest = ServiceTestOn<kAddress>;

} // namespace

TEST_F(RunnerTest, ProgressRunsOneToSixAndTheDialogEnds)
{
    RunnerHost host(ServiceGlobals().api, TRUE, TRUE);
    host.m_credentials = Demo();
    CScriptedUser user;
    user.Expect("Runner Host");
    user.Start();
    EXPECT_EQ(IDOK, host.DoModal());
    user.Stop();
    EXPECT_TRUE(user.Finished()) << user.Report();

    // A stage that waits on the network reports more than once as it goes.
    std::vector<int> stages, progress;
    std::vector<std::string> panes;
    for (const auto& seen : host.m_seen) {
        if (!stages.empty() && stages.back() == seen.stage)
            continue;
        stages.push_back(seen.stage);
        progress.push_back(seen.progress);
        panes.push_back(seen.pane);
    }
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5}), stages);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6}), progress);
    EXPECT_EQ(
        (std::vector<std::string>{"Preparing Data", "Connecting to Quillet", "Requesting Login",
                                  "Receiving Response", "Confirming Result", "User Logged In"}),
        panes);
    EXPECT_EQ(1, host.m_opDoneCalls);
    EXPECT_TRUE(host.Succeeded());
}

TEST_F(RunnerTest, WithoutTheEndFlagASuccessKeepsTheDialogOpen)
{
    RunnerHost host(ServiceGlobals().api, FALSE, TRUE);
    host.m_credentials = Demo();
    CScriptedUser user;
    user.Do("wait for the last stage", [&host](HWND) { return host.m_opDoneCalls > 0; })
        .Click(IDCANCEL);
    user.Start();
    EXPECT_EQ(IDCANCEL, host.DoModal());
    user.Stop();
    EXPECT_TRUE(user.Finished()) << user.Report();
    ASSERT_FALSE(host.m_seen.empty());
    EXPECT_EQ(CWebSvrOp::kDone, host.m_seen.back().stage);
    EXPECT_EQ(6, host.m_seen.back().progress);
    EXPECT_EQ("User Logged In", host.m_seen.back().pane);
    EXPECT_TRUE(host.Succeeded());
}

TEST_F(RunnerTest, FailedStageShowsOneErrorDialogAndLeavesTheDialogOpen)
{
    struct Case {
        const char* name;
        const char* host;  // where the service is said to be
        const char* fault; // injected fault text, or null
        int failedStage;
        const char* details;
    };
    const Case cases[] = {
        {"NoServiceAtStage2", "127.0.0.251", nullptr, CWebSvrOp::kSend, kConnectionFailed},
        {"FaultAtStage4", kAddress, "Account locked", CWebSvrOp::kRead, "Account locked"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UseHost(c.host);
        if (c.fault) {
            ASSERT_TRUE(s_service->FailNext(standin::kind::Fault, 1, nullptr,
                                            std::string("\"faultstring\": \"") + c.fault + "\""));
        }
        RunnerHost host(ServiceGlobals().api, TRUE, TRUE);
        host.m_credentials = Demo();
        CScriptedUser user;
        user.Expect("Quillet Error").Read(IDC_ERROR_DETAILS).Read(IDC_ERROR_MESSAGE).Click(IDOK);
        // A stage message still on its way from the failed run is ignored.
        user.Do("post a late last stage", [&host](HWND) {
            host.PostMessage(CPumpOp::kStageMessage, CWebSvrOp::kDone);
            return true;
        });
        user.Do("let it arrive",
                [&host](HWND) { return host.m_seen.size() > 0 && host.GetStage() == -1; })
            .Expect("Runner Host")
            .Click(IDCANCEL);
        user.Start();
        EXPECT_EQ(IDCANCEL, host.DoModal());
        user.Stop();
        EXPECT_TRUE(user.Finished()) << user.Report();
        EXPECT_EQ(c.details, user.TextRead(IDC_ERROR_DETAILS));
        EXPECT_EQ("The current Quillet operation could not be performed successfully.",
                  user.TextRead(IDC_ERROR_MESSAGE));
        EXPECT_EQ(1, std::count(user.Captions().begin(), user.Captions().end(), "Quillet Error"))
            << "one error dialog";
        EXPECT_EQ(0, host.m_opDoneCalls) << "a failed operation is never done";
        EXPECT_EQ(0, host.GetProgress().GetPos()) << "the progress is reset";
        EXPECT_EQ("", host.GetStatusBar().GetPaneText(1).str());
        EXPECT_FALSE(host.Succeeded());
        ASSERT_FALSE(host.m_seen.empty());
        EXPECT_EQ(c.failedStage, host.m_seen.back().stage) << "the late message changed nothing";
    }
}

TEST_F(RunnerTest, ErrorDialogShowsItsDetails)
{
    for (const char* details : {"Something went wrong.", ""}) {
        SCOPED_TRACE(details);
        CDlgError error;
        error.m_details = details;
        CScriptedUser user;
        user.Expect("Quillet Error").Read(IDC_ERROR_DETAILS).Read(IDC_ERROR_MESSAGE).Click(IDOK);
        user.Start();
        EXPECT_EQ(IDOK, error.DoModal());
        user.Stop();
        EXPECT_TRUE(user.Finished()) << user.Report();
        EXPECT_EQ(details, user.TextRead(IDC_ERROR_DETAILS));
        EXPECT_EQ("The current Quillet operation could not be performed successfully.",
                  user.TextRead(IDC_ERROR_MESSAGE));
    }
}

namespace {

constexpr const char* kRejected = "Your user credentials were rejected by Quillet.  Please check "
                                  "these values to ensure they are correct.";

class LoginTest : public RunnerTest {
protected:
    void SetUp() override
    {
        RunnerTest::SetUp();
        ServiceGlobals().protocol = &m_ui;
        // mapi32 may stay loaded once a login has asked for the profile, and
        // it looks for its provider only when it loads: the stand-in is there
        // from the first login on, serving a profile without an identity
        // unless a test gives it one.
        m_mapi = std::make_unique<CMapiStandIn>(TempDir());
        ASSERT_TRUE(m_mapi->Register());
        m_mapi->Directory("gals=0\n");
    }
    void TearDown() override
    {
        m_ui.Disconnect();
        m_mapi.reset();
        RunnerTest::TearDown();
    }

    // The user types these values and presses OK.
    static void TypeCredentials(CScriptedUser& user, const char* email, const char* account)
    {
        user.Expect("Quillet Login")
            .Type(IDC_LOGIN_EMAIL, email)
            .Type(IDC_LOGIN_PASSWORD, "secret")
            .Type(IDC_LOGIN_ACCOUNT, account);
    }

    CProtocolUI m_ui;
    std::unique_ptr<CMapiStandIn> m_mapi;
};

} // namespace

TEST_F(LoginTest, StoredCredentialsNeedNoDialogAndNoServiceCall)
{
    CCredentials stored = Demo();
    stored.m_password = "pw";
    ASSERT_EQ(S_OK, CConfig().SetCredentials(stored));
    ASSERT_TRUE(s_service->Reset());

    CScriptedUser user;
    user.Start();
    CCredentials credentials;
    credentials.m_displayName = "Kept";
    EXPECT_EQ(S_OK, m_ui.Login(credentials));
    user.Stop();
    EXPECT_TRUE(user.Captions().empty()) << user.Report();
    EXPECT_STREQ(standin::kDefaultEmail, credentials.m_email);
    EXPECT_STREQ("pw", credentials.m_password);
    EXPECT_STREQ("Kept", credentials.m_displayName);
    EXPECT_EQ(0u, s_service->RequestCount());
}

TEST_F(LoginTest, RejectedLoginSaysWhyAndKeepsWhatWasTyped)
{
    struct Case {
        const char* name;
        const char* fault; // null: the service refuses the account itself
        const char* details;
    };
    const Case cases[] = {
        {"RefusedAccount", nullptr, kRejected},
        {"Fault", "Service closed for the night", "Service closed for the night"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(s_service->Reset());
        if (c.fault) {
            ASSERT_TRUE(s_service->FailNext(standin::kind::Fault, 1, nullptr,
                                            std::string("\"faultstring\": \"") + c.fault + "\""));
        }
        CScriptedUser user;
        TypeCredentials(user, "wrong@example.com", standin::kDefaultApiCode);
        user.Click(IDOK)
            .Expect("Quillet Error")
            .Read(IDC_ERROR_DETAILS)
            .Click(IDOK)
            .Expect("Quillet Login")
            .Read(IDC_LOGIN_EMAIL)
            .Read(IDC_LOGIN_ACCOUNT)
            .Click(IDCANCEL);
        user.Start();
        CCredentials credentials;
        EXPECT_EQ(kUserCancelled, m_ui.Login(credentials));
        user.Stop();
        EXPECT_TRUE(user.Finished()) << user.Report();
        EXPECT_EQ(c.details, user.TextRead(IDC_ERROR_DETAILS));
        EXPECT_EQ("wrong@example.com", user.TextRead(IDC_LOGIN_EMAIL));
        EXPECT_EQ(standin::kDefaultApiCode, user.TextRead(IDC_LOGIN_ACCOUNT));
        EXPECT_FALSE(ReadValue(kProductKey, "Credentials")) << "nothing stored";
    }
}

TEST_F(LoginTest, AcceptedAndRememberedCredentialsAreStoredForTheNextLogin)
{
    CScriptedUser user;
    TypeCredentials(user, standin::kDefaultEmail, standin::kDefaultApiCode);
    // OK twice before the first stage runs: one login, not two.
    user.Check(IDC_LOGIN_REMEMBER).Click(IDOK).Click(IDOK);
    user.Start();
    CCredentials credentials;
    EXPECT_EQ(S_OK, m_ui.Login(credentials));
    user.Stop();
    EXPECT_EQ(1u, s_service->RequestCount()) << "the running login is not started again";
    EXPECT_STREQ(standin::kDefaultEmail, credentials.m_email);
    EXPECT_STREQ("secret", credentials.m_password);

    CCredentials stored;
    ASSERT_EQ(S_OK, CConfig().GetCredentials(stored));
    EXPECT_STREQ(standin::kDefaultApiCode, stored.m_accountId);

    CScriptedUser nobody;
    nobody.Start();
    CCredentials again;
    EXPECT_EQ(S_OK, m_ui.Login(again));
    nobody.Stop();
    EXPECT_TRUE(nobody.Captions().empty()) << "the next login is silent";
    EXPECT_EQ(1u, s_service->RequestCount());
}

TEST_F(LoginTest, CancelStoresNothingAndSaysCancelled)
{
    CScriptedUser user;
    TypeCredentials(user, standin::kDefaultEmail, standin::kDefaultApiCode);
    user.Check(IDC_LOGIN_REMEMBER).Click(IDCANCEL);
    user.Start();
    CCredentials credentials;
    EXPECT_EQ(kUserCancelled, m_ui.Login(credentials));
    user.Stop();
    EXPECT_TRUE(user.Finished()) << user.Report();
    EXPECT_FALSE(ReadValue(kProductKey, "Credentials"));
    EXPECT_EQ(0u, s_service->RequestCount());
}

TEST_F(LoginTest, PlainProtocolLoginFailsWheneverTheRunFails)
{
    CProtocol plain;
    CCredentials demo = Demo();
    EXPECT_EQ(S_OK, plain.Login(demo));
    for (const char* kind : {standin::kind::Empty, standin::kind::Malformed}) {
        SCOPED_TRACE(kind);
        ASSERT_TRUE(s_service->FailNext(kind));
        EXPECT_TRUE(FAILED(plain.Login(demo))) << "an unusable answer is never a valid login";
    }
    plain.Disconnect();
}

TEST_F(LoginTest, DialogIsPrefilledWithTheProfilesAddress)
{
    m_mapi->Directory(
        "identity=jane\n[user jane]\nname=Jane Doe\ntype=SMTP\naddress=Jane.Doe@example.com\n");

    CScriptedUser user;
    user.Expect("Quillet Login").Read(IDC_LOGIN_EMAIL).Read(IDC_LOGIN_ACCOUNT).Click(IDCANCEL);
    user.Start();
    CCredentials credentials;
    EXPECT_EQ(kUserCancelled, m_ui.Login(credentials));
    user.Stop();
    EXPECT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ("Jane.Doe@example.com", user.TextRead(IDC_LOGIN_EMAIL));
    EXPECT_EQ("", user.TextRead(IDC_LOGIN_ACCOUNT));
    EXPECT_STREQ("Jane Doe", credentials.m_displayName) << "the display name is carried along";
}

TEST_F(LoginTest, RetryAfterARejectionRunsTheLoginAfresh)
{
    CScriptedUser user;
    TypeCredentials(user, "wrong@example.com", standin::kDefaultApiCode);
    user.Click(IDOK)
        .Expect("Quillet Error")
        .Click(IDOK)
        .Expect("Quillet Login")
        .Type(IDC_LOGIN_EMAIL, standin::kDefaultEmail)
        .Click(IDOK);
    user.Start();
    CCredentials credentials;
    EXPECT_EQ(S_OK, m_ui.Login(credentials)) << "the second try is not held back by the first";
    user.Stop();
    EXPECT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(1, std::count(user.Captions().begin(), user.Captions().end(), "Quillet Error"));
    EXPECT_STREQ(standin::kDefaultEmail, credentials.m_email);
    EXPECT_EQ(2u, s_service->RequestCount());
    for (const std::string& name : ListFiles(TempDir()))
        EXPECT_NE(0u, name.rfind("Qui", 0)) << "a response file was left: " << name;
}
