// The step dialog of an interactive send against the stand-in service,
// driven by the scripted user: the steps the send road lists, one run per
// service script (all succeed, an upload or the last step failing, manual
// positioning answered either way, Cancel answered either way, Cancel
// while the run waits for the browser), and the browser the dialog starts.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "addin/AddinResource.h"
#include "addin/send/DlgSteps.h"
#include "shared/outlook/ShellCommand.h"
#include "addin/wizard/PgSigPos.h"
#include "addin/send/SendBtn.h"
#include "shared/SharedResource.h"
#include "shared/service/OpGetLink.h"
#include "shared/service/OpSendDoc.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/addin/SendRoadTest.h"
#include "tests/support/FakeAttachment.h"
#include "tests/support/FakeDispatch.h"
#include "tests/support/HResultText.h"
#include "tests/support/ServiceTest.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr char kAddress[] = "127.0.0.31";
constexpr char kQuestion[] =
    "Would you like to Edit the Signing Locations within the documents you have just uploaded.  "
    "If you have opted to send out email invitations now, then it is recommended that you do "
    "this now.";
constexpr char kResume[] = "Check the \"Edit Signature Locations\" step to resume.";
constexpr char kSubmitted[] = "Your Quillet e-signature request has been submitted!";
constexpr char kCancelQuestion[] =
    "Are you sure you want to Cancel to current Electronic Signature Request?";

// Icons as the rows show them.
constexpr int kIconDone = 0;
constexpr int kIconSkipped = 1;
constexpr int kIconWaiting = 4;
constexpr int kIconFailed = 5;

CScriptedUser::Limits Patient()
{
    CScriptedUser::Limits limits;
    limits.stepMs = 8000;
    limits.idleMs = 8000;
    limits.deadlineMs = 60000;
    return limits;
}

// ---- what the user sees ----

struct Seen {
    std::vector<int> icons;
    std::vector<std::string> rows;
    std::string status;
    std::string button;
};

std::string TextOf(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

Seen Look(HWND dialog)
{
    Seen seen;
    HWND list = GetDlgItem(dialog, IDC_STEPS_LIST);
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        char text[256] = {};
        LVITEMA item{};
        item.mask = LVIF_IMAGE | LVIF_TEXT;
        item.iItem = row;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        seen.icons.push_back(item.iImage);
        seen.rows.push_back(text);
    }
    seen.status = TextOf(GetDlgItem(dialog, IDC_STEPS_STATUS));
    seen.button = TextOf(GetDlgItem(dialog, IDCANCEL));
    return seen;
}

bool IsStepsDialog(HWND dialog)
{
    return dialog && GetDlgItem(dialog, IDC_STEPS_LIST);
}

// A click on a row of the list, where a person's lands: the list reports
// NM_CLICK with the point to its parent.
void ClickRow(HWND dialog, int row, UINT part)
{
    HWND list = GetDlgItem(dialog, IDC_STEPS_LIST);
    RECT rect{};
    rect.left = static_cast<LONG>(part);
    SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    NMITEMACTIVATE click{};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = IDC_STEPS_LIST;
    click.hdr.code = NM_CLICK;
    click.iItem = row;
    click.ptAction = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    SendMessageA(dialog, WM_NOTIFY, IDC_STEPS_LIST, reinterpret_cast<LPARAM>(&click));
}

std::vector<std::string> Methods(const std::vector<standin::Request>& requests)
{
    std::vector<std::string> methods;
    for (const auto& request : requests)
        methods.push_back(request.soapMethod);
    return methods;
}

class StepsTest : public ServiceTestOn<kAddress> {
protected:
    void SetUp() override
    {
        ServiceTestOn<kAddress>::SetUp();
        m_mail = CFakeDispatch::Create();
        m_mail->Prop(L"Body", L"Please sign both.").Prop(L"HTMLBody", L"<p>not sent</p>");
        m_recorder = std::make_unique<CRecorder>(TempDir() + "recorder.log");
    }

    void TearDown() override
    {
        m_browser.reset();
        m_recorder.reset();
        ServiceTestOn<kAddress>::TearDown();
    }

    // The request as the send road has it after the wizard: the mail's
    // body, two documents, one signer.
    std::unique_ptr<OpSendDoc> Request(bool manual, bool hide = false, bool invite = true,
                                       bool body = true)
    {
        auto request = std::make_unique<OpSendDoc>(m_url);
        request->m_credentials = Demo();
        if (body)
            request->AppendPart(new CBodyPart(m_mail.Get(), 0, "Message Body", "Message Body", ""));
        m_attachments.push_back(Attachment("%PDF-1.4 lease"));
        request->AddPart(m_attachments.back().Get(), 1, "lease.pdf", "Attachment");
        m_attachments.push_back(Attachment("{\\rtf1 annex}"));
        request->AddPart(m_attachments.back().Get(), 2, "annex.doc", "Attachment");
        auto* signer = new CRecip;
        signer->m_email = "tenant@example.com";
        signer->m_name = "Tenant";
        signer->m_sequence = 1;
        request->m_request.m_signers.AddTail(signer);
        CSendOptions& options = request->m_request.m_sendOptions;
        options.m_string1 = "Lease (today)";
        options.m_positioning = manual ? CPgSigPos::kManual : CPgSigPos::kAutomatic;
        options.m_hideEmailAddrs = hide ? 1 : 0;
        options.m_sendInvite = invite ? 1 : 0;
        return request;
    }

    std::vector<std::string> StepTexts(const CDlgSteps& dialog)
    {
        std::vector<std::string> texts;
        for (const CStepOp* step : dialog.GetSteps())
            texts.push_back(step->m_pendingText.str());
        return texts;
    }

    CComPtr<CFakeDispatch> m_mail;
    std::vector<CComPtr<CFakeDispatch>> m_attachments;
    std::unique_ptr<CRecorder> m_recorder;
    std::unique_ptr<CBrowserClass> m_browser;
};

} // namespace

// ---- the steps the send road lists ----

TEST_F(StepsTest, TheSendListsItsStepsAsTheRequestAsks)
{
    const struct {
        const char* what;
        bool manual, hide, invite, body;
        std::vector<std::string> steps;
    } cases[] = {
        {"automatic positioning, invitations",
         false,
         false,
         true,
         true,
         {"Create Signature Request", "Upload Document: lease.pdf", "Upload Document: annex.doc",
          "Obtain Receipt Link", "Send Email Invitations"}},
        {"addresses hidden, manual positioning",
         true,
         true,
         true,
         true,
         {"Create Signature Request", "Upload Document: lease.pdf", "Upload Document: annex.doc",
          "Set Signature Parameters", "Obtain Receipt Link", "Edit Signature Locations",
          "Send Email Invitations"}},
        {"no invitations asked",
         false,
         false,
         false,
         true,
         {"Create Signature Request", "Upload Document: lease.pdf", "Upload Document: annex.doc",
          "Obtain Receipt Link"}},
        {"invitations asked, but no mail body to send",
         false,
         false,
         true,
         false,
         {"Create Signature Request", "Upload Document: lease.pdf", "Upload Document: annex.doc",
          "Obtain Receipt Link"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CDlgSteps dialog;
        OpGetLink* link = nullptr;
        auto request = Request(c.manual, c.hide, c.invite, c.body);
        ASSERT_HR(S_OK, CSendBtn::AddSendSteps(dialog, request, m_url, &link));
        EXPECT_EQ(nullptr, request.get()) << "the dialog has it";
        EXPECT_EQ(c.steps, StepTexts(dialog));
        EXPECT_EQ(c.manual ? 1 : 0, dialog.m_hasQuestion);
        ASSERT_NE(nullptr, link);
        for (const CStepOp* step : dialog.GetSteps()) {
            if (step->m_question) {
                EXPECT_EQ(&link->m_result, step->m_linkText) << "the question opens the link";
                EXPECT_EQ(kQuestion, step->m_questionText.str());
                EXPECT_EQ(nullptr, step->m_op.get());
            }
        }
        // The request is the first step's operation and goes with the dialog.
        EXPECT_NE(nullptr, dynamic_cast<OpSendDoc*>(dialog.GetSteps().GetHead()->m_op.get()));
    }
}

// ---- one run per service script ----

namespace {

// What the script saw on its way, for the checks after the run.
struct RunLog {
    std::vector<Seen> seen; // each look the script took, in order
    size_t requestsBeforePause = 0;
    size_t requestsAfterPause = 0;
    std::vector<std::string> recorded; // the browser's command lines
};

class StepsRun : public StepsTest {
protected:
    // Waits until the dialog shows what want accepts, and keeps that look.
    void WaitFor(CScriptedUser& user, const std::string& what,
                 std::function<bool(const Seen&)> want)
    {
        user.Do("see " + what, [this, want](HWND dialog) {
            if (!IsStepsDialog(dialog))
                return false;
            Seen seen = Look(dialog);
            if (!want(seen))
                return false;
            m_log.seen.push_back(seen);
            return true;
        });
    }

    // Keeps the message box (the cancel question) open for a while and
    // counts the requests that reached the service meanwhile.
    void HoldTheQuestion(CScriptedUser& user)
    {
        user.Do("hold the question open", [this](HWND dialog) {
            if (IsStepsDialog(dialog))
                return false;
            if (m_heldSince == 0) {
                m_heldSince = GetTickCount64();
                m_log.requestsBeforePause = Service().RequestCount();
                return false;
            }
            if (GetTickCount64() - m_heldSince < 600)
                return false;
            m_log.requestsAfterPause = Service().RequestCount();
            return true;
        });
    }

    INT_PTR Run(CDlgSteps& dialog, CScriptedUser& user)
    {
        user.Start();
        const INT_PTR result = dialog.DoModal();
        user.Stop();
        return result;
    }

    RunLog m_log;
    ULONGLONG m_heldSince = 0;
};

using Script = std::function<void(CScriptedUser&, StepsRun&)>;

struct RunCase {
    const char* name;
    bool manual;
    std::string behaviours; // queued on the service before the run (a JSON list)
    INT_PTR result;
    int ok;
    int handled;
    std::vector<std::string> methods; // what reached the service, in order
    std::vector<int> lastIcons;       // the rows at the script's last look
    std::string lastStatus;
    std::string lastButton;
    bool methodsBegin = false; // only the beginning of the methods reached it
};

void PrintTo(const RunCase& row, std::ostream* out)
{
    *out << row.name;
}

const std::vector<std::string> kAllMethods = {"CreateSignatureRequest", "AddDocumentToRequest",
                                              "AddDocumentToRequest", "GetMaintenanceLink",
                                              "InviteSigners"};

} // namespace

class StepsRunTable : public StepsRun, public ::testing::WithParamInterface<RunCase> {
public:
    // The scripts, by row name.
    void Script(CScriptedUser& user);

    std::string m_errorText; // the error dialog's details, when one came
};

void StepsRunTable::Script(CScriptedUser& user)
{
    const std::string name = GetParam().name;
    auto button = [](const char* caption) {
        return [caption](const Seen& seen) { return seen.button == caption; };
    };
    auto icon = [](size_t row, int wanted) {
        return [row, wanted](const Seen& seen) {
            return seen.icons.size() > row && seen.icons[row] == wanted;
        };
    };
    if (name == "AllSucceed") {
        user.Expect("Quillet-It");
    } else if (name == "SecondUploadFails" || name == "LastStepFaults") {
        user.Expect("Quillet Error").Read(IDC_ERROR_DETAILS).Click(IDOK);
        WaitFor(user, "Close", button("Close"));
        user.Click(IDCANCEL);
    } else if (name == "ManualYes") {
        user.AnswerMessageBox(IDYES);
        WaitFor(user, "the question step waiting", icon(4, kIconWaiting));
        user.Do("click the waiting step's text, press Enter", [this](HWND dialog) {
            if (!IsStepsDialog(dialog))
                return false;
            m_log.recorded = m_recorder->WaitForLines(1);
            ClickRow(dialog, 4, LVIR_LABEL);
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            m_heldSince = GetTickCount64();
            return true;
        });
        user.Do("let a moment pass", [this](HWND dialog) {
            if (GetTickCount64() - m_heldSince < 400)
                return false;
            m_log.seen.push_back(Look(dialog));
            m_log.requestsBeforePause = Service().RequestCount();
            return true;
        });
        user.Do("click the waiting step's icon", [](HWND dialog) {
            ClickRow(dialog, 4, LVIR_ICON);
            return true;
        });
        WaitFor(user, "Done", button("Done"));
        user.Click(IDCANCEL);
    } else if (name == "ManualNo") {
        user.AnswerMessageBox(IDNO);
        WaitFor(user, "Done", button("Done"));
        user.Click(IDCANCEL);
    } else if (name == "CancelThenNo") {
        user.Expect("Quillet-It").Click(IDCANCEL);
        HoldTheQuestion(user);
        user.AnswerMessageBox(IDNO);
    } else if (name == "CancelThenYes") {
        user.Expect("Quillet-It").Click(IDCANCEL);
        HoldTheQuestion(user);
        user.AnswerMessageBox(IDYES);
    } else if (name == "CancelWhileWaiting") {
        user.AnswerMessageBox(IDYES);
        WaitFor(user, "the question step waiting", icon(4, kIconWaiting));
        user.Click(IDCANCEL).AnswerMessageBox(IDYES);
    }
}

TEST_P(StepsRunTable, OneRunPerServiceScript)
{
    const RunCase& row = GetParam();
    m_browser = std::make_unique<CBrowserClass>(RecorderCommand() + " \"%1\"");
    if (!row.behaviours.empty()) {
        ASSERT_TRUE(Service().SetBehaviour(row.behaviours)) << Service().LastError();
    }

    CDlgSteps dialog;
    OpGetLink* link = nullptr;
    auto request = Request(row.manual);
    ASSERT_HR(S_OK, CSendBtn::AddSendSteps(dialog, request, m_url, &link));
    CScriptedUser user(Patient());
    Script(user);
    const INT_PTR result = Run(dialog, user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(row.result, result);
    EXPECT_EQ(row.ok, dialog.m_ok) << "success needs IDOK and the ok flag";
    EXPECT_EQ(row.handled, dialog.m_handled);
    const std::vector<std::string> methods = Methods(Service().Requests());
    if (row.methodsBegin) {
        ASSERT_LT(methods.size(), row.methods.size()) << "the run ended early";
        EXPECT_TRUE(std::equal(methods.begin(), methods.end(), row.methods.begin()));
    } else {
        EXPECT_EQ(row.methods, methods);
    }
    if (!row.lastIcons.empty()) {
        ASSERT_FALSE(m_log.seen.empty());
        EXPECT_EQ(row.lastIcons, m_log.seen.back().icons);
        EXPECT_EQ(row.lastStatus, m_log.seen.back().status);
        EXPECT_EQ(row.lastButton, m_log.seen.back().button);
    }

    const std::string name = row.name;
    if (name == "AllSucceed") {
        for (const CStepOp* step : dialog.GetSteps()) {
            EXPECT_EQ(CDlgSteps::kDone, step->m_state) << step->m_pendingText.str();
        }
    }
    if (name == "SecondUploadFails") {
        EXPECT_EQ("ERROR: The annex is damaged.", user.TextRead(IDC_ERROR_DETAILS));
    }
    if (name == "LastStepFaults") {
        EXPECT_EQ("The mail server is down.", user.TextRead(IDC_ERROR_DETAILS));
    }
    if (name == "ManualYes") {
        ASSERT_EQ(3u, m_log.seen.size()) << "waiting, a moment later, done";
        const Seen& waiting = m_log.seen[0];
        EXPECT_EQ(kResume, waiting.status);
        EXPECT_EQ("Cancel", waiting.button);
        EXPECT_EQ(waiting.icons, m_log.seen[1].icons)
            << "a click on the text and Enter leave the step waiting";
        EXPECT_EQ(4u, m_log.requestsBeforePause) << "no invitation before the icon's click";
        ASSERT_EQ(1u, m_log.recorded.size()) << "the browser started once";
        ASSERT_NE(nullptr, link);
        EXPECT_EQ(RecorderCommand() + " \"" + link->m_result.str() + "\"", m_log.recorded[0]);
        EXPECT_NE(std::string::npos, link->m_result.str().find("maintain.aspx?FileID=QF1001"));
    }
    if (name == "ManualNo" || name == "CancelThenNo" || name == "CancelThenYes") {
        EXPECT_TRUE(m_recorder->Lines().empty()) << "no browser";
    }
    if (name == "ManualYes" || name == "ManualNo" || name == "CancelWhileWaiting") {
        EXPECT_EQ(kQuestion, user.MessageBoxTexts().at(0));
    }
    if (name == "CancelThenNo" || name == "CancelThenYes") {
        EXPECT_EQ(kCancelQuestion, user.MessageBoxTexts().at(0));
        EXPECT_EQ(m_log.requestsBeforePause, m_log.requestsAfterPause)
            << "the run waits while the question is open";
        EXPECT_LT(m_log.requestsAfterPause, kAllMethods.size())
            << "the question came while the run went on";
        for (const CStepOp* step : dialog.GetSteps()) {
            EXPECT_NE(CDlgSteps::kFailed, step->m_state) << "a cancel is no failure";
        }
    }
    if (name == "CancelWhileWaiting") {
        EXPECT_EQ(kCancelQuestion, user.MessageBoxTexts().at(1));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, StepsRunTable,
    ::testing::Values(
        RunCase{"AllSucceed", false, "", IDOK, 1, 0, kAllMethods, {}, "", ""},
        // The first upload goes through, the second is refused: it and every
        // later row fail, and nothing later is sent.
        RunCase{"SecondUploadFails",
                false,
                R"([{"kind": "slow", "method": "AddDocumentToRequest"},
                    {"kind": "error", "method": "AddDocumentToRequest",
                     "text": "ERROR: The annex is damaged."}])",
                IDCANCEL,
                0,
                1,
                {"CreateSignatureRequest", "AddDocumentToRequest", "AddDocumentToRequest"},
                {kIconDone, kIconDone, kIconFailed, kIconFailed, kIconFailed},
                "Operation Failed!",
                "Close"},
        RunCase{"LastStepFaults",
                false,
                R"({"kind": "fault", "method": "InviteSigners",
                    "faultstring": "The mail server is down."})",
                IDCANCEL,
                0,
                1,
                kAllMethods,
                {kIconDone, kIconDone, kIconDone, kIconDone, kIconFailed},
                "Operation Failed!",
                "Close"},
        RunCase{"ManualYes",
                true,
                "",
                IDOK,
                1,
                1,
                kAllMethods,
                {kIconDone, kIconDone, kIconDone, kIconDone, kIconDone, kIconDone},
                kSubmitted,
                "Done"},
        RunCase{"ManualNo",
                true,
                "",
                IDOK,
                1,
                1,
                kAllMethods,
                {kIconDone, kIconDone, kIconDone, kIconDone, kIconSkipped, kIconDone},
                kSubmitted,
                "Done"},
        // The uploads are slowed so that the question surely comes mid-run.
        RunCase{"CancelThenNo",
                false,
                R"({"kind": "slow", "method": "AddDocumentToRequest", "delay": 0.2, "count": 2})",
                IDOK,
                1,
                1,
                kAllMethods,
                {},
                "",
                ""},
        RunCase{"CancelThenYes",
                false,
                R"({"kind": "slow", "method": "AddDocumentToRequest", "delay": 0.2, "count": 2})",
                IDCANCEL,
                0,
                1,
                kAllMethods,
                {},
                "",
                "",
                true},
        RunCase{"CancelWhileWaiting",
                true,
                "",
                IDCANCEL,
                0,
                1,
                {"CreateSignatureRequest", "AddDocumentToRequest", "AddDocumentToRequest",
                 "GetMaintenanceLink"},
                {},
                "",
                ""}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

// ---- a silent service ----

TEST_F(StepsTest, ASilentServiceNeverFreezesTheDialogAndCancelEndsTheRunAtOnce)
{
    // The request's creation gets no answer for 20 s.
    ASSERT_TRUE(
        Service().FailNext(standin::kind::Slow, 1, "CreateSignatureRequest", "\"delay\": 20"));
    const std::vector<std::string> before = ListFiles(TempDir());
    auto owned = std::make_unique<CDlgSteps>();
    CDlgSteps& dialog = *owned;
    OpGetLink* link = nullptr;
    auto request = Request(false);
    ASSERT_HR(S_OK, CSendBtn::AddSendSteps(dialog, request, m_url, &link));

    // The user runs on the dialog's thread: its ticks are the moments the
    // thread was free.
    ULONGLONG firstTick = 0;
    ULONGLONG lastTick = 0;
    ULONGLONG longestGap = 0;
    ULONGLONG clickedAt = 0;
    CScriptedUser user(Patient());
    user.Expect("Quillet-It")
        .Do("watch the dialog while the service keeps silent",
            [&](HWND) {
                const ULONGLONG now = GetTickCount64();
                if (!firstTick)
                    firstTick = now;
                if (lastTick)
                    longestGap = std::max(longestGap, now - lastTick);
                lastTick = now;
                if (now - firstTick < 1500)
                    return false;
                clickedAt = now;
                return true;
            })
        .Click(IDCANCEL)
        .AnswerMessageBox(IDYES);
    user.Start();
    const INT_PTR result = dialog.DoModal();
    const ULONGLONG endedAt = GetTickCount64();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_LT(longestGap, 500u) << "the dialog's thread was held";
    EXPECT_LT(endedAt - clickedAt, 1000u) << "Cancel, then Yes, ended the run";
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(0, dialog.m_ok);
    EXPECT_EQ(1, dialog.m_handled);
    for (const CStepOp* step : dialog.GetSteps())
        EXPECT_NE(CDlgSteps::kDone, step->m_state) << step->m_pendingText.str();
    // The steps, and with them the request's files, go with the dialog.
    owned.reset();
    request.reset();
    EXPECT_EQ(before, ListFiles(TempDir())) << "the run left a file behind";
}

// ---- the browser ----

TEST_F(StepsTest, TheBrowserIsStartedAsTheRegistrySaysWithTheLinkQuoted)
{
    const std::string link = "http://127.0.0.31/services/maintain.aspx?FileID=QF1&Key=%41%s";
    const std::string quotedLink = "\"" + link + "\"";
    const std::string recorder = RecorderCommand();
    // The recorder again, where a program path has blanks: started unquoted,
    // Windows would look for "...\Browser.exe" first.
    const std::string folder = TempDir() + "Browser Folder\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string inFolder = folder + "recorder.exe";
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "recorder.exe").c_str(), inFolder.c_str(), FALSE));
    const struct {
        const char* what;
        std::string open;
        std::string openNew;
        bool noClass;
        HRESULT expected;
        std::string commandLine; // as the browser got it; empty: not started
    } cases[] = {
        {"\"%1\" takes the link", recorder + " \"%1\"", "", false, S_OK,
         recorder + " " + quotedLink},
        {"opennew before open", recorder + " open \"%1\"", recorder + " opennew \"%1\"", false,
         S_OK, recorder + " opennew " + quotedLink},
        {"without \"%1\" the link follows a blank", recorder + " -nohome", "", false, S_OK,
         recorder + " -nohome " + quotedLink},
        // The command is the registry's text: no part of it is a format.
        {"every \"%1\", and nothing else", recorder + " --title=%s%n%d \"%1\" %1", "", false, S_OK,
         recorder + " --title=%s%n%d " + quotedLink + " " + quotedLink},
        {"a program path with blanks gets quotes", inFolder + " -nohome %1", "", false, S_OK,
         "\"" + inFolder + "\" -nohome " + quotedLink},
        {"no class for .htm", "", "", true, E_FAIL, ""},
        {"a class without a command", "", "", false, E_FAIL, ""},
        {"a command that does not start", "\"C:\\no such folder\\browser.exe\" \"%1\"", "", false,
         E_FAIL, ""},
    };
    size_t started = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CBrowserClass browser(c.open, c.openNew, c.noClass);
        CDlgSteps dialog;
        EXPECT_HR(c.expected, dialog.OpenInBrowser(link.c_str()));
        if (c.commandLine.empty())
            continue;
        const std::vector<std::string> lines = m_recorder->WaitForLines(++started);
        ASSERT_EQ(started, lines.size());
        EXPECT_EQ(c.commandLine, lines.back());
    }

    // A link from the service that is not a plain web link never reaches
    // the browser's command line.
    CBrowserClass browser(recorder + " \"%1\"");
    for (const char* hostile :
         {"http://x/a\" --new-window file:///C:/x", "http://x/a b", "http://x/a\r\nb",
          "file:///C:/Windows/notepad.exe", "javascript:alert(1)", "", "\"http://x/\""}) {
        SCOPED_TRACE(hostile);
        CDlgSteps dialog;
        EXPECT_HR(E_FAIL, dialog.OpenInBrowser(hostile));
    }
    CDlgSteps dialog;
    EXPECT_HR(E_FAIL, dialog.OpenInBrowser(nullptr));
    Sleep(300);
    EXPECT_EQ(started, m_recorder->Lines().size()) << "a refused link started the browser";
    DeleteFileA(inFolder.c_str());
    RemoveDirectoryA(folder.c_str());
}

// A command stored as REG_EXPAND_SZ is expanded before it starts.
TEST(ShellCommandLineTest, ExpandsOnlyWhatTheRegistryMarksExpandable)
{
    SetEnvironmentVariableA("QUILLET_BROWSER_FOLDER", "C:\\Web Browser");
    const CString command("%QUILLET_BROWSER_FOLDER%\\browser.exe -new %1");
    EXPECT_STREQ("\"C:\\Web Browser\\browser.exe\" -new \"http://x/\"",
                 ShellCommandLine(command, REG_EXPAND_SZ, "http://x/"));
    EXPECT_STREQ("%QUILLET_BROWSER_FOLDER%\\browser.exe -new \"http://x/\"",
                 ShellCommandLine(command, REG_SZ, "http://x/"));
    SetEnvironmentVariableA("QUILLET_BROWSER_FOLDER", nullptr);
}

// ---- the upload's progress ----

TEST(UploadProgress, LargeDocumentsDoNotOverflow)
{
    const struct {
        ULONGLONG sent;
        ULONGLONG total;
        int percent;
    } cases[] = {
        {0, 0, 0},
        {0, 4095, 0},
        {4095, 8190, 50},
        // Above 42 MB, sent * 100 no longer fits in 32 bits.
        {45000000, 60000000, 75},
        {3000000000ULL, 4000000000ULL, 75},
        {4294967295ULL, 4294967295ULL, 100},
        {5000, 4095, 100},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.percent, CDlgSteps::UploadPercent(c.sent, c.total))
            << c.sent << " of " << c.total;
    }
}
