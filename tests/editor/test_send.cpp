// Send: the template mailed through Outlook, which the editor reaches by
// COM activation: the Outlook stand-in's host program found running in the
// running object table, or started by COM as a local server. What the host
// reports is what the editor prepared there; Outlook busy in one of its
// dialogs; and the mail's arrival in another Outlook, whose add-in imports
// the template.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "classlib/win32/CRegKey.h"
#include "classlib/com/CComPtr.h"
#include "editor/EditorResource.h"
#include "editor/app/BusyRetry.h"
#include "tests/editor/EditorTest.h"
#include "tests/support/HResultText.h"
#include "tests/support/OutlookHost.h"

using namespace testenv;

namespace {

constexpr char kOutlookClsid[] = "{0006F03A-0000-0000-C000-000000000046}";
constexpr char kBody[] =
    "The attached file is an Inkstave Template. To import this template into Inkstave, simply "
    "save the attached file and then open it with the Inkstave Template Editor. Before doing "
    "so, however, it is highly recommended that you verify its authenticity by contacting the "
    "sender. ";

void SetDefault(const std::string& key, const std::string& text)
{
    CRegKey created;
    ASSERT_EQ(ERROR_SUCCESS, created.Create(HKEY_CLASSES_ROOT, key.c_str(), nullptr, KEY_WRITE));
    ASSERT_EQ(ERROR_SUCCESS,
              created.SetValue(nullptr, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1)));
}

// A path as a host script's quoted text, which doubles its backslashes.
std::string ScriptText(const std::string& path)
{
    std::string quoted = "\"";
    for (const char c : path)
        quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return quoted + "\"";
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Outlook's registration, as far as the case has it: the ProgID always,
// the local server when asked; all gone again with the test.
class SendTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kOutlookClsid).c_str());
        HKEY existing = nullptr;
        m_hadProgId = RegOpenKeyExA(HKEY_CLASSES_ROOT, "Outlook.Application", 0, KEY_READ,
                                    &existing) == ERROR_SUCCESS;
        if (existing)
            RegCloseKey(existing);
        m_report = TempDir() + "host-report.txt";
    }
    void TearDown() override
    {
        // The prefix goes on to other test programs, which must find no
        // Outlook registered there unless they make one.
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "Outlook.Application\\CLSID");
        if (!m_hadProgId)
            RegDeleteKeyA(HKEY_CLASSES_ROOT, "Outlook.Application");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kOutlookClsid).c_str());
        if (m_host) {
            WaitForSingleObject(m_host, 20000);
            CloseHandle(m_host);
        }
        EditorTest::TearDown();
    }

    void RegisterProgId() { SetDefault("Outlook.Application\\CLSID", kOutlookClsid); }
    void RegisterLocalServer()
    {
        RegisterProgId();
        SetDefault(std::string("CLSID\\") + kOutlookClsid + "\\LocalServer32",
                   "\"" + ProgramFolder() + "outlookhost.exe\" --report \"" + m_report + "\"");
    }

    // Outlook already running, on this script; returns once it is in the
    // running object table.
    void StartOutlook(const std::string& script)
    {
        const std::string scriptPath = TempDir() + "host-script.txt";
        WriteFileBytes(scriptPath, script);
        std::string commandLine = "\"" + ProgramFolder() + "outlookhost.exe\" --report \"" +
                                  m_report + "\" \"" + scriptPath + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process));
        CloseHandle(process.hThread);
        m_host = process.hProcess;
        CLSID clsid{};
        ASSERT_EQ(S_OK, CLSIDFromProgID(L"Outlook.Application", &clsid));
        for (int tries = 0; tries < 200; ++tries) {
            IUnknown* running = nullptr;
            if (SUCCEEDED(GetActiveObject(clsid, nullptr, &running))) {
                running->Release();
                return;
            }
            Sleep(50);
        }
        FAIL() << "Outlook never entered the running object table";
    }

    // Outlook running its Options dialog, and a dialog step of the script
    // played there before it closes; returns once the dialog is up. Then
    // the script goes on with what follows.
    void StartOutlookInOptions(const std::string& stepWhileUp, const std::string& after = "")
    {
        StartOutlook("expect \"Options\"\n" + stepWhileUp + "\nclose-dialog\noptions\n" + after);
        for (int tries = 0; tries < 400; ++tries) {
            if (ReportHas("user sees \"Options\""))
                return;
            Sleep(50);
        }
        FAIL() << "Outlook's Options dialog never came up: " << ReadFileBytes(m_report);
    }

    bool ReportHas(const std::string& start) const
    {
        const std::string text = FileExists(m_report) ? ReadFileBytes(m_report) : "";
        return text.find("\n" + start) != std::string::npos || text.rfind(start, 0) == 0;
    }

    // The host's report once it has ended (its last line written).
    std::vector<std::string> HostReport()
    {
        for (int tries = 0; tries < 400; ++tries) {
            const std::string text = FileExists(m_report) ? ReadFileBytes(m_report) : "";
            if (text.find("connections left") != std::string::npos)
                return Lines(text);
            Sleep(50);
        }
        ADD_FAILURE() << "the host did not end: " << ReadFileBytes(m_report);
        return {};
    }

    // The user picks the template and clicks Send.
    void SendOffer(CScriptedUser& user)
    {
        user.Expect(kMainCaption).PickComboItem(IDC_TEMPLATE_LIST, "Offer");
        ClickToolbar(user, ID_SEND_TEMPLATE, "Send Template");
    }

    // Sends "Offer" to the Outlook started, gives it a moment to take the
    // mail and closes the editor.
    void SendOfferToOutlook()
    {
        CScriptedUser user(Quick());
        SendOffer(user);
        user.Expect(kMainCaption).Do("waits for Outlook", [](HWND) {
            Sleep(200);
            return true;
        });
        user.Close();
        Run(user);
    }

    std::string m_report;
    bool m_hadProgId = false;
    HANDLE m_host = nullptr;
};

// The user waits as long as the editor tries a refused call again: the
// message box or the mail comes only after that.
CScriptedUser::Limits Patient(CScriptedUser::Limits limits)
{
    limits.stepMs = 30000;
    limits.deadlineMs = 60000;
    return limits;
}

size_t Count(const std::vector<std::string>& lines, const std::string& line)
{
    size_t count = 0;
    for (const std::string& seen : lines)
        count += seen == line ? 1 : 0;
    return count;
}

constexpr char kRefused[] = "refused a call of another program: \"Options\" is up";
constexpr char kOutlookBusy[] =
    "The Template can't be sent until you close the current Outlook dialog box";

bool Has(const std::vector<std::string>& lines, const std::string& line)
{
    for (const std::string& seen : lines) {
        if (seen == line)
            return true;
    }
    return false;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

} // namespace

TEST_F(SendTest, ReachesARunningOutlook)
{
    const std::string path =
        WriteTemplate({.name = "Offer", .signers = {{.name = "Recipient", .role = "Buyer"}}});
    RegisterProgId();
    StartOutlook("serve 20000\n");
    SendOfferToOutlook();
    const std::vector<std::string> report = HostReport();
    EXPECT_TRUE(Has(report, "mail \"Inkstave Template\" body \"" + std::string(kBody) + "\""))
        << Joined(report);
    EXPECT_TRUE(Has(report, "attachment \"Offer\" position " + std::to_string(sizeof kBody) +
                                " file \"Offer.xml\" bytes " +
                                std::to_string(ReadFileBytes(path).size())))
        << Joined(report);
}

TEST_F(SendTest, StartsOutlookAsALocalServer)
{
    WriteTemplate({.name = "Offer", .signers = {{.name = "Recipient", .role = "Buyer"}}});
    RegisterLocalServer();
    CScriptedUser user(Quick());
    SendOffer(user);
    user.Expect(kMainCaption).Close();
    Run(user);
    const std::vector<std::string> report = HostReport();
    EXPECT_TRUE(Has(report, "local server")) << Joined(report);
    EXPECT_TRUE(Has(report, "mail \"Inkstave Template\" body \"" + std::string(kBody) + "\""))
        << Joined(report);
    EXPECT_TRUE(Has(report, "attachment \"Offer\" position " + std::to_string(sizeof kBody) +
                                " file \"Offer.xml\" bytes " +
                                std::to_string(ReadFileBytes(TemplatePath("Offer")).size())))
        << Joined(report);
}

TEST_F(SendTest, AFailingDisplayShowsItsMessage)
{
    WriteTemplate({.name = "Offer", .signers = {{.name = "Recipient", .role = "Buyer"}}});
    RegisterProgId();
    StartOutlook("fail MailItem Display 0x80020009\nserve 20000\n");
    CScriptedUser user(Quick());
    SendOffer(user);
    user.AnswerMessageBox(IDOK).Expect(kMainCaption).Close();
    Run(user);
    ASSERT_EQ(1u, user.MessageBoxTexts().size());
    EXPECT_EQ("The Template can't be sent until you close the current Outlook dialog box",
              user.MessageBoxTexts()[0]);
    HostReport();
}

// Outlook inside its Options dialog (the editor is started from there)
// turns the editor's calls away. The editor tries them again for a few
// seconds, then asks the user to close Outlook's dialog.
TEST_F(SendTest, ABusyOutlookIsTriedAgainThenTheUserIsTold)
{
    WriteTemplate({.name = "Offer", .signers = {{.name = "Recipient", .role = "Buyer"}}});
    RegisterProgId();
    const std::string editorClosed = TempDir() + "editor-closed";
    StartOutlookInOptions("await-file " + ScriptText(editorClosed) +
                          " 60000 \"waits until the editor is closed\"");
    CBusyRetryFilter filter; // as the program has it
    CScriptedUser user(Patient(Quick()));
    SendOffer(user);
    user.AnswerMessageBox(IDOK).Expect(kMainCaption).Close();
    Run(user);
    WriteFileBytes(editorClosed, "");

    const std::vector<std::string> report = HostReport();
    ASSERT_EQ(1u, user.MessageBoxTexts().size());
    EXPECT_EQ(kOutlookBusy, user.MessageBoxTexts()[0]);
    // Tried again, not given up at the first refusal.
    EXPECT_GE(Count(report, kRefused), 2u) << Joined(report);
    // Busy, not failed: no error dialog.
    EXPECT_EQ(0u, Count(user.Captions(), "Quillet Error"));
}

// The user closes Outlook's dialog while the editor still tries: the mail
// is made then, whole, as if Outlook had not been busy.
TEST_F(SendTest, OutlookFreeAgainWithinTheRetriesTakesTheMail)
{
    WriteTemplate({.name = "Offer", .signers = {{.name = "Recipient", .role = "Buyer"}}});
    RegisterProgId();
    StartOutlookInOptions("await-refusal 60000 \"sees the editor's call turned away\"",
                          "serve 30000\n");
    CBusyRetryFilter filter;
    CScriptedUser user(Patient(Quick()));
    SendOffer(user);
    user.Expect(kMainCaption)
        .Await(
            "waits until Outlook shows the mail", [this](HWND) { return ReportHas("mail "); },
            30000)
        .Close();
    Run(user);

    const std::vector<std::string> report = HostReport();
    EXPECT_GE(Count(report, kRefused), 1u) << Joined(report);
    EXPECT_TRUE(Has(report, "mail \"Inkstave Template\" body \"" + std::string(kBody) + "\""))
        << Joined(report);
    EXPECT_TRUE(Has(report, "attachment \"Offer\" position " + std::to_string(sizeof kBody) +
                                " file \"Offer.xml\" bytes " +
                                std::to_string(ReadFileBytes(TemplatePath("Offer")).size())))
        << Joined(report);
    EXPECT_TRUE(user.MessageBoxTexts().empty());
}

// On Windows COM itself asks the editor's message filter whether to make a
// refused call again: for a few seconds it waits and tries, then gives up.
TEST(BusyRetryFilter, RetriesForAFewSeconds)
{
    CComPtr<IMessageFilter> before;
    ASSERT_HR(S_OK, CoRegisterMessageFilter(nullptr, before.Put()));
    {
        CBusyRetryFilter registered;
        ASSERT_HR(S_OK, registered.Registration());
        // The filter COM holds now, taken off and put back.
        CComPtr<IMessageFilter> filter;
        ASSERT_HR(S_OK, CoRegisterMessageFilter(nullptr, filter.Put()));
        ASSERT_TRUE(filter);
        CComPtr<IMessageFilter> none;
        ASSERT_HR(S_OK, CoRegisterMessageFilter(filter.Get(), none.Put()));

        const struct {
            const char* row;
            DWORD elapsedMs;
            bool retried;
        } rows[] = {
            {.row = "just refused", .elapsedMs = 0, .retried = true},
            {.row = "refused for a second", .elapsedMs = 1000, .retried = true},
            {.row = "refused for a minute", .elapsedMs = 60000, .retried = false},
        };
        for (const auto& row : rows) {
            SCOPED_TRACE(row.row);
            for (const DWORD answer : {SERVERCALL_REJECTED, SERVERCALL_RETRYLATER}) {
                const DWORD pause = filter->RetryRejectedCall(nullptr, row.elapsedMs, answer);
                if (row.retried) {
                    // At least 100: COM waits that long, rather than trying
                    // again at once, over and over.
                    EXPECT_GE(pause, 100u);
                    EXPECT_LE(pause, 1000u);
                } else {
                    EXPECT_EQ(static_cast<DWORD>(-1), pause);
                }
            }
        }
        EXPECT_EQ(static_cast<DWORD>(SERVERCALL_ISHANDLED),
                  filter->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr));
    }
    // The filter before it is back.
    CComPtr<IMessageFilter> after;
    ASSERT_HR(S_OK, CoRegisterMessageFilter(before.Get(), after.Put()));
    EXPECT_TRUE(after == before.Get());
}

TEST_F(SendTest, SaysWhyNothingWasSent)
{
    const struct {
        const char* row;
        bool registered;
        bool imported; // opened from elsewhere and never saved into the folder
        const char* details;
    } rows[] = {
        {.row = "no Outlook on this machine",
         .registered = false,
         .imported = false,
         .details = "Outlook could not be reached. Please make sure Outlook is installed and can "
                    "be started, then try again."},
        {.row = "a template never saved",
         .registered = true,
         .imported = true,
         .details = "Please save the template before sending it: only a saved template file can "
                    "be attached."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        WriteTemplate({.name = "Offer", .signers = {{.name = "Recipient", .role = "Buyer"}}});
        if (row.registered)
            RegisterProgId();
        CScriptedUser user(Quick());
        if (row.imported) {
            const std::string elsewhere = TempDir() + "Offer-mailed.xml";
            MoveFileExA(TemplatePath("Offer").c_str(), elsewhere.c_str(),
                        MOVEFILE_REPLACE_EXISTING);
            user.Expect(kMainCaption);
            ClickToolbar(user, ID_OPEN_TEMPLATE, "Open Template");
            PickFile(user, "Open Inkstave Template", elsewhere);
            user.Expect(kMainCaption);
            ClickToolbar(user, ID_SEND_TEMPLATE, "Send Template");
        } else {
            SendOffer(user);
        }
        user.Expect("Quillet Error").Read(IDC_EDIT_ERROR_MESSAGE).Read(IDC_EDIT_ERROR_DETAILS);
        user.Click(IDOK).Expect(kMainCaption).Close();
        if (row.imported)
            user.AnswerMessageBox(IDNO);
        Run(user);
        EXPECT_EQ("The template could not be sent.", user.TextRead(IDC_EDIT_ERROR_MESSAGE));
        EXPECT_EQ(row.details, user.TextRead(IDC_EDIT_ERROR_DETAILS));
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "Outlook.Application\\CLSID");
        DeleteFileA(TemplatePath("Offer").c_str());
    }
}

// The whole road of a mailed template: the editor's Send makes the mail in
// the running Outlook, the user sends it, and the add-in of the Outlook it
// arrives in asks (showing what the template holds) and, on Yes, puts the
// template into that user's template folder byte for byte.
TEST_F(SendTest, AMailedTemplateLandsInTheReceiversTemplateFolder)
{
    const std::string sent = WriteTemplate({.name = "Offer",
                                            .signers = {{.name = "Eve Witness",
                                                         .email = "eve@example.com",
                                                         .role = "Witness",
                                                         .hardCoded = 1}},
                                            .documentName = "offer.pdf",
                                            .documentBytes = "%PDF-1.4 offer"});
    const std::string bytes = ReadFileBytes(sent);
    outlookhost::CRegisteredAddin addin("{DF82D7DA-6BFB-4072-984C-B860F99B6B9C}",
                                        {"Quillet.OutlookAddin"}, QUILLOFF_DLL_PATH);
    outlookhost::CRegisteredAddin::ForgetStartup();
    outlookhost::CRegisteredAddin::SetOutlookVersion("Outlook.Application.14");
    outlookhost::CRegisteredAddin::LoadAtStartup("Quillet.OutlookAddin");
    RegisterProgId();
    // The receiving user's own template folder, taken once the editor is done.
    const std::string receiving = TempDir() + "Received";
    CreateDirectoryA(receiving.c_str(), nullptr);
    const std::string ready = TempDir() + "receiver-ready";
    StartOutlook("serve 20000\n"
                 "wait-file " +
                 ScriptText(ready) +
                 " 20000\n"
                 "answer 6\n"
                 "receive-shown\n");
    SendOfferToOutlook();
    WriteText(kProductKey, "TemplateFolder", receiving);
    WriteFileBytes(ready, "");

    const std::vector<std::string> report = HostReport();
    const std::string text = Joined(report);
    EXPECT_NE(text.find("Template: Offer\nDocuments: offer.pdf\n"
                        "Signers added to every request: Eve Witness <eve@example.com>"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("error"), std::string::npos) << text;
    EXPECT_EQ(ReadFileBytes(receiving + "\\Offer.xml"), bytes);
    outlookhost::CRegisteredAddin::ForgetStartup();
}
