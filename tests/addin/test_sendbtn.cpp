// The send button's click in the Outlook stand-in, against the stand-in
// service: a mail in an inspector, its button on the inspector's bar, the
// wizard and the step dialog driven by the scripted user. An interactive
// send ends with the mail marked, closed and deleted and a receipt task; a
// broadcast with the operation files and the broadcast file handed to the
// agent (the recorder, as inkProxy.exe); every refusal, and every send that
// fails or is cancelled, leaves the mail as it was.
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "addin/core/AddinProtocol.h"
#include "addin/AddinResource.h"
#include "addin/commands/CmdBar.h"
#include "addin/receipts/ReceiptTask.h"
#include "addin/send/SendBtn.h"
#include "addin/sync/SyncBtn.h"
#include "shared/SharedResource.h"
#include "shared/config/Config.h"
#include "shared/requests/Receipt.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/xml/XMLDoc.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/NoModalScope.h"
#include "standins/outlook/model/AddressBook.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Attachments.h"
#include "standins/outlook/model/Explorer.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/ItemWindow.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/Mailbox.h"
#include "standins/outlook/model/Recipients.h"
#include "standins/outlook/model/UserProperties.h"
#include "standins/outlook/office/CommandBarButton.h"
#include "standins/outlook/office/CommandBars.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/addin/SendRoadTest.h"
#include "tests/support/HResultText.h"
#include "tests/support/ServiceTest.h"
#include "tests/support/TestBase64.h"
#include "tests/support/TestEnv.h"

using namespace standin;
using namespace testenv;

namespace {

constexpr char kAddress[] = "127.0.0.32";
// The service over TLS, as users reach it.
constexpr char kSecureAddress[] = "127.0.0.33";
constexpr int kNext = 0x3024;
constexpr int kFinish = 0x3025;

constexpr char kNoSmtp[] = "The current mail item does not have any SMTP recipients.  At least "
                           "one recipient is required to send via Quillet.";
constexpr char kBcc[] = "The current mail item contains at least one Bcc recipient.  Blind "
                        "carbon copy recipients are not supported; you must change these "
                        "recipients to Cc.";
constexpr char kInvalid[] = "The current mail item has at least one invalid recipient.  Please "
                            "verify your recipients and try again.";
constexpr char kNoDocument[] =
    "The current mail item has no transmittable attachments and no viable templates.  At least "
    "one attachment of the proper type (*.doc, *.docx, *.xls, *.wpd, *.pdf, *.html, *.htm or "
    "*.txt) is required to send via Quillet.";
constexpr char kTemplatesOnly[] = "You have opted to use templates exclusively, and yet there are "
                                  "no templates sutiable for the current Outlook email.";
constexpr char kRunning[] = "A Quillet send is already under way in Outlook.  Please finish it "
                            "before you send another mail item.";
constexpr char kNoAddress[] = "The recipient \"Pager Line\" has no SMTP address.  Every recipient "
                              "must have one to send via Quillet; please correct or remove this "
                              "recipient and try again.";
constexpr char kEmptyDocument[] = "The attachment \"empty.pdf\" is empty.  An empty document "
                                  "cannot be signed; please attach the document with its "
                                  "content, or remove it, and try again.";
constexpr char kNoAgent[] = "The Quillet broadcast agent (inkProxy.exe) could not be started.  "
                            "Your mail item has not been sent.";

CScriptedUser::Limits Patient()
{
    CScriptedUser::Limits limits;
    limits.stepMs = 8000;
    limits.idleMs = 8000;
    limits.deadlineMs = 60000;
    return limits;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// The wizard as a user who takes its defaults goes through it.
void FinishWizard(CScriptedUser& user)
{
    user.Expect("Signature Positioning").Click(kNext).Expect("Signature Sequence").Click(kFinish);
}

// An error dialog and what it said.
void AnswerError(CScriptedUser& user)
{
    user.Expect("Quillet Error").Read(IDC_ERROR_DETAILS).Click(IDOK);
}

// The files the system made in a folder ("Quill..." names).
std::set<std::string> QuillSet(const std::string& folder)
{
    const std::vector<std::string> files = QuillFiles(folder);
    return std::set<std::string>(files.begin(), files.end());
}

// The texts of an XML file's root's children, in order: "name=text".
std::vector<std::string> Children(const std::string& path, std::string* root = nullptr)
{
    std::vector<std::string> children;
    CXMLDoc document;
    if (document.LoadFile(path.c_str()) != S_OK)
        return children;
    CComPtr<IXMLDOMNode> element;
    if (document.GotoNode("/*", element) != S_OK || !element)
        return children;
    if (root) {
        BSTR name = nullptr;
        element->get_nodeName(&name);
        *root = Narrow(name ? name : L"");
        SysFreeString(name);
    }
    CComPtr<IXMLDOMNodeList> nodes;
    element->get_childNodes(nodes.Put());
    long count = 0;
    nodes->get_length(&count);
    for (long i = 0; i < count; ++i) {
        CComPtr<IXMLDOMNode> node;
        nodes->get_item(i, node.Put());
        BSTR name = nullptr;
        BSTR text = nullptr;
        node->get_nodeName(&name);
        node->get_text(&text);
        children.push_back(Narrow(name ? name : L"") + "=" + Narrow(text ? text : L""));
        SysFreeString(name);
        SysFreeString(text);
    }
    return children;
}

std::string ValueOf(const std::vector<std::string>& children, const std::string& name)
{
    for (const std::string& child : children) {
        if (child.rfind(name + "=", 0) == 0)
            return child.substr(name.size() + 1);
    }
    return "<none>";
}

class SendBtnTest : public ServiceTestOn<kAddress> {
protected:
    void SetUp() override
    {
        ServiceTestOn<kAddress>::SetUp();
        // The road makes the process's protocol object itself, as in Outlook.
        m_protocol.Disconnect();
        ServiceGlobals().protocol = nullptr;
        ASSERT_HR(S_OK, CConfig().SetCredentials(Demo()));
        m_templates = TempDir() + "templates";
        CreateDirectoryA(m_templates.c_str(), nullptr);
        WriteText(kProductKey, "TemplateFolder", m_templates);
        WriteText(kProductKey, "Identity", standin::kDefaultEmail);
        WriteDword(kProductKey, "ShowWizIntro", 0);
        ServiceGlobals().senderName.Empty();
        ServiceGlobals().senderSmtp.Empty();
        CString sentItems;
        ASSERT_HR(S_OK, GetSentItemsFolder(sentItems));
        m_sentItems = sentItems.str() + "\\";
        m_copiesBefore = QuillSet(m_sentItems);
        m_recorder = std::make_unique<CRecorder>(TempDir() + "agent.log");
        m_app = New<CApplication>();
        m_app->OpenExplorer();
    }

    void TearDown() override
    {
        m_bar.reset();
        CallLog().ClearInjections();
        m_app->Quit();
        m_app.Release();
        for (const std::string& name : ListFiles(m_sentItems)) {
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".msg") == 0 &&
                !m_copiesBefore.count(name))
                DeleteFileA((m_sentItems + name).c_str());
        }
        // The protocol object the road made goes as at the add-in's shutdown.
        ReleaseAddinProtocol();
        CServiceGlobals& globals = ServiceGlobals();
        globals.protocol = nullptr;
        globals.senderName.Empty();
        globals.senderSmtp.Empty();
        m_recorder.reset();
        ServiceTestOn<kAddress>::TearDown();
    }

    // A mail in an open inspector, with the send button on its bar.
    CItem& OpenMail(const std::wstring& subject, const std::vector<std::wstring>& to,
                    const std::vector<std::wstring>& cc = {},
                    const std::vector<std::wstring>& bcc = {},
                    const std::vector<std::pair<std::wstring, std::string>>& files = {
                        {L"lease.pdf", "%PDF-1.4 lease"}})
    {
        m_mail = m_app->Mailbox().CreateItem(kItemTypeMail);
        m_mail->SetSubject(subject);
        m_mail->SetBody(L"Please sign the lease.");
        for (const auto& name : to)
            m_mail->Recipients().Add(name, kRecipientTo);
        for (const auto& name : cc)
            m_mail->Recipients().Add(name, kRecipientCc);
        for (const auto& name : bcc)
            m_mail->Recipients().Add(name, kRecipientBcc);
        long position = 0;
        for (const auto& [name, bytes] : files)
            m_mail->Attachments().Add(kAttachByValue, name, name, bytes, position++);
        m_mail->Save();
        m_inspector = &m_app->OpenInspector(*m_mail);
        m_bar = std::make_unique<CCmdBar>();
        EXPECT_HR(S_OK, m_bar->Create(m_inspector->Dispatch(), "Quillet"));
        auto* button = new CSendBtn(IDS_SEND_CAPTION, IDB_SEND_FACE, IDB_SEND_MASK);
        button->SetApplication(m_app->Dispatch());
        button->SetTag("sf0l;");
        EXPECT_HR(S_OK, m_bar->AddButton(button, TRUE));
        CallLog().Clear();
        return *m_mail;
    }

public:
    CAddressBook& AddressBook() { return m_app->Mailbox().AddressBook(); }

protected:
    CCommandBarButton* Button()
    {
        return m_inspector->CommandBars().Find(L"Quillet")->Controls()->At(0);
    }

    // The user clicks the send button and does what the script says.
    // The click runs as the inspector's own command, which Outlook does not
    // let close its window; what the road posted for afterwards runs once
    // the click has returned, as Outlook's message loop would run it.
    void Click(CScriptedUser& user)
    {
        user.Start();
        {
            CInspector::CCommandScope command(m_inspector);
            Button()->Click();
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        user.Stop();
        EXPECT_TRUE(standin::CNoModalScope::TakeRefusals().empty());
    }

    // What the road did to the mail beyond the click's own save and
    // resolution: a put, an attachment, a mark, a close, a delete.
    std::vector<std::string> Touches()
    {
        std::vector<std::string> touches;
        for (const CCallRecord& call : CallLog().Records()) {
            const bool put = (call.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
            if ((call.kind == L"MailItem" &&
                 (put || call.member == L"Close" || call.member == L"Delete" ||
                  call.member == L"SaveAs")) ||
                (call.kind == L"Attachments" && call.member == L"Add") ||
                call.kind == L"UserProperties" || call.kind == L"UserProperty")
                touches.push_back(Narrow(call.Text()));
        }
        return touches;
    }

    std::vector<CItem*> Tasks()
    {
        std::vector<CItem*> tasks;
        CFolder* folder = m_app->Mailbox().DefaultFolder(kFolderTasks);
        for (size_t i = 0; folder && i < folder->Items().Count(); ++i)
            tasks.push_back(folder->Items().At(i));
        return tasks;
    }

    std::string Property(CItem& item, const wchar_t* name)
    {
        CUserProperty* property = item.UserProperties().Find(name);
        return property ? Narrow(property->Text()) : "<none>";
    }

    CComPtr<CApplication> m_app;
    CComPtr<CItem> m_mail;
    CInspector* m_inspector = nullptr;
    std::unique_ptr<CCmdBar> m_bar;
    std::string m_templates;
    std::string m_sentItems;
    std::set<std::string> m_copiesBefore;
    std::unique_ptr<CRecorder> m_recorder;
};

} // namespace

// ---- the interactive send ----

TEST_F(SendBtnTest, AnInteractiveSendDeletesTheMailAndLeavesAReceiptTask)
{
    CItem& mail = OpenMail(L"Lease", {L"tenant@example.com"});
    CScriptedUser user(Patient());
    FinishWizard(user);
    user.Expect("Quillet-It");
    Click(user);
    ASSERT_TRUE(user.Finished()) << user.Report();

    const std::vector<standin::Request> requests = Service().Requests();
    std::vector<std::string> methods;
    for (const auto& request : requests)
        methods.push_back(request.soapMethod);
    EXPECT_EQ((std::vector<std::string>{"CreateSignatureRequest", "AddDocumentToRequest",
                                        "GetMaintenanceLink", "InviteSigners"}),
              methods);
    ASSERT_EQ(4u, requests.size());
    EXPECT_EQ("tenant@example.com", requests[0].Element("pstr_Signers"));
    EXPECT_EQ("QUILLET-DEMO-0001", requests[0].Element("pstr_APICode"));
    EXPECT_EQ(0u, requests[0].Element("pstr_FileName").rfind("Lease (", 0))
        << "the request's name: the subject and the click's time";
    EXPECT_EQ("lease.pdf", requests[1].Element("pstr_FileName"));

    EXPECT_EQ("true", Property(mail, L"Quillet")) << "the mail is marked";
    EXPECT_EQ(1u, CallLog().Count(L"MailItem", L"Close"));
    EXPECT_EQ(1u, CallLog().Count(L"MailItem", L"Delete"));

    const std::vector<CItem*> tasks = Tasks();
    ASSERT_EQ(1u, tasks.size()) << "the receipt task";
    CItem& task = *tasks[0];
    EXPECT_EQ("QF1001", Property(task, kQuilletIdProperty));
    const std::string link = Property(task, kQuilletUrlProperty);
    EXPECT_NE(std::string::npos, link.find("maintain.aspx?FileID=QF1001")) << link;
    EXPECT_EQ("Quillet Receipt: Lease", Narrow(task.Subject()));
    EXPECT_NE(std::wstring::npos, task.MessageClass().find(L".Quillet"));
    EXPECT_EQ(1u, task.Attachments().Count()) << "the sent mail, embedded";
    EXPECT_FALSE(CSendBtn::IsSending()) << "the send is over";
}

// What users run: the service over TLS (the "SSL" setting's default), with
// a certificate the system trusts. A send, then a sync of its receipt task
// once everyone signed, every request over TLS.
TEST_F(SendBtnTest, ASendAndItsSyncGoOverTls)
{
    CStandInService secure(kSecureAddress, true);
    ASSERT_TRUE(secure.Start()) << secure.LastError();
    WriteText(kProductKey, "Host", kSecureAddress);
    WriteDword(kProductKey, "SSL", 1);

    CItem& mail = OpenMail(L"Lease", {L"tenant@example.com"});
    CScriptedUser user(Patient());
    FinishWizard(user);
    user.Expect("Quillet-It");
    Click(user);
    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ("true", Property(mail, L"Quillet")) << "the mail is marked as sent";
    const std::vector<CItem*> tasks = Tasks();
    ASSERT_EQ(1u, tasks.size()) << "the receipt task";
    CItem& task = *tasks[0];
    const std::string fileId = Property(task, kQuilletIdProperty);
    EXPECT_EQ(0u, Property(task, kQuilletUrlProperty).rfind("https://127.0.0.33/", 0))
        << "the link of a request made over TLS";

    const std::string signedPdf = "%PDF-1.4 signed over TLS\r\n%%EOF\r\n";
    ASSERT_TRUE(secure.SetSigned(fileId));
    ASSERT_TRUE(secure.SetSignedPdf(fileId, "", signedPdf));
    ASSERT_TRUE(m_app->ActiveExplorer()->SwitchTo(*m_app->Mailbox().DefaultFolder(kFolderTasks)));
    // The details shown, so the dialog waits to be read and closed.
    WriteDword(kProductKey, "SyncSize", 0);
    CSyncBtn sync;
    sync.SetApplication(m_app->Dispatch());
    CScriptedUser syncUser(Patient());
    syncUser.Expect("Synchronizing with Quillet")
        .Do("wait for the sync's end",
            [](HWND dialog) {
                char text[32] = {};
                GetDlgItemTextA(dialog, IDCANCEL, text, sizeof text);
                return std::string(text) == "Close";
            })
        .Click(IDCANCEL);
    syncUser.Start();
    EXPECT_HR(S_OK, sync.OnClick());
    syncUser.Stop();
    ASSERT_TRUE(syncUser.Finished()) << syncUser.Report();

    EXPECT_EQ(100, task.Long(L"PercentComplete"));
    EXPECT_NE("<none>", Property(task, L"Quillet PDF")) << "the signed copy was not pulled";
    bool copied = false;
    for (size_t a = 0; a < task.Attachments().Count(); ++a)
        copied |= task.Attachments().At(a)->Bytes() == signedPdf;
    EXPECT_TRUE(copied) << "the signed copy, byte for byte";

    std::vector<std::string> methods;
    for (const standin::Request& request : secure.Requests()) {
        methods.push_back(request.soapMethod);
        EXPECT_TRUE(request.tls) << request.soapMethod << " came over plain HTTP";
    }
    EXPECT_EQ((std::vector<std::string>{"CreateSignatureRequest", "AddDocumentToRequest",
                                        "GetMaintenanceLink", "InviteSigners", "GetFileStatus",
                                        "DownloadSignedDocument"}),
              methods);
    EXPECT_EQ(0u, Service().RequestCount()) << "a request went to the plain service";
}

TEST_F(SendBtnTest, ASendThatFailsOrIsCancelledInTheStepDialogKeepsTheMail)
{
    const struct {
        const char* what;
        std::string behaviours;
        std::function<void(CScriptedUser&)> steps;
    } cases[] = {
        {"an upload refused",
         R"({"kind": "error", "method": "AddDocumentToRequest", "text": "ERROR: No room."})",
         [](CScriptedUser& user) {
             AnswerError(user);
             user.Expect("Quillet-It").Click(IDCANCEL);
         }},
        {"the last step faulted",
         R"({"kind": "fault", "method": "InviteSigners", "faultstring": "Mail is down."})",
         [](CScriptedUser& user) {
             AnswerError(user);
             user.Expect("Quillet-It").Click(IDCANCEL);
         }},
        {"cancelled and confirmed",
         R"({"kind": "slow", "method": "AddDocumentToRequest", "delay": 0.3})",
         [](CScriptedUser& user) {
             user.Expect("Quillet-It").Click(IDCANCEL).AnswerMessageBox(IDYES);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Service().Reset());
        ASSERT_TRUE(Service().SetBehaviour(c.behaviours)) << Service().LastError();
        CItem& mail = OpenMail(L"Lease", {L"tenant@example.com"});
        CScriptedUser user(Patient());
        FinishWizard(user);
        c.steps(user);
        Click(user);
        ASSERT_TRUE(user.Finished()) << user.Report();
        EXPECT_EQ(std::vector<std::string>{}, Touches()) << "the mail is as it was";
        EXPECT_EQ("<none>", Property(mail, L"Quillet"));
        EXPECT_TRUE(Tasks().empty()) << "no receipt";
        m_bar.reset();
    }
}

TEST_F(SendBtnTest, TheMailIsDeletedEvenWhenItsCloseFails)
{
    OpenMail(L"", {L"tenant@example.com"});
    CallLog().Inject(L"MailItem", L"Close", E_FAIL);
    CScriptedUser user(Patient());
    FinishWizard(user);
    user.Expect("Quillet-It");
    Click(user);
    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(1u, CallLog().Count(L"MailItem", L"Delete"));
    const std::vector<standin::Request> requests = Service().Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(0u, requests[0].Element("pstr_FileName").rfind("subject unspecified (", 0))
        << "a mail without subject: " << requests[0].Element("pstr_FileName");
}

TEST_F(SendBtnTest, ARecipientWhoseTypeCannotBeReadCountsAsTo)
{
    OpenMail(L"Lease", {}, {L"cc@example.com"});
    CallLog().Inject(L"Recipient", L"Type", E_FAIL);
    CScriptedUser user(Patient());
    user.Expect("Signature Positioning").Click(IDCANCEL);
    Click(user);
    ASSERT_TRUE(user.Finished()) << user.Report() << "the wizard, not a refusal";
}

// ---- the refusals ----

TEST_F(SendBtnTest, EveryRefusalLeavesTheMailAsItWas)
{
    struct Case {
        const char* what;
        std::function<void(SendBtnTest&)> arrange;
        std::vector<std::wstring> to, cc, bcc;
        std::vector<std::pair<std::wstring, std::string>> files;
        std::function<void(CScriptedUser&)> steps;
        std::string shown; // the error dialog's text; empty: none
    };
    const std::vector<std::pair<std::wstring, std::string>> lease = {
        {L"lease.pdf", "%PDF-1.4 lease"}};
    const Case cases[] = {
        {"no recipients", nullptr, {}, {}, {}, lease, AnswerError, kNoSmtp},
        {"only a Cc recipient", nullptr, {}, {L"cc@example.com"}, {}, lease, AnswerError, kNoSmtp},
        {"a To and a Bcc recipient",
         nullptr,
         {L"tenant@example.com"},
         {},
         {L"hidden@example.com"},
         lease,
         AnswerError,
         kBcc},
        {"a recipient without an SMTP address",
         [](SendBtnTest& test) { test.AddressBook().Add(L"Fax Line", L"+1 555 0100", L"FAX"); },
         {L"Fax Line"},
         {},
         {},
         lease,
         AnswerError,
         kNoSmtp},
        // The others would get the request and the mail be gone.
        {"one of two recipients without an SMTP address",
         [](SendBtnTest& test) { test.AddressBook().Add(L"Pager Line", L"+1 555 0101", L"FAX"); },
         {L"tenant@example.com", L"Pager Line"},
         {},
         {},
         lease,
         AnswerError,
         kNoAddress},
        {"an empty attachment beside a full one",
         nullptr,
         {L"tenant@example.com"},
         {},
         {},
         {{L"lease.pdf", "%PDF-1.4 lease"}, {L"empty.pdf", ""}},
         AnswerError,
         kEmptyDocument},
        {"a recipient that cannot be read",
         [](SendBtnTest&) { CallLog().Inject(L"Recipient", L"AddressEntry", E_ACCESSDENIED); },
         {L"tenant@example.com"},
         {},
         {},
         lease,
         AnswerError,
         kInvalid},
        {"unsupported attachments, the user says No",
         [](SendBtnTest&) { WriteText(kProductKey, "FileTypes", "pdf"); },
         {L"tenant@example.com"},
         {},
         {},
         {{L"notes.txt", "notes"}},
         [](CScriptedUser& user) { user.Expect("Unsupported Attachment Type").Click(IDCANCEL); },
         ""},
        {"no attachment and no template",
         nullptr,
         {L"tenant@example.com"},
         {},
         {},
         {},
         AnswerError,
         kNoDocument},
        {"templates only, none fits",
         [](SendBtnTest&) { WriteDword(kProductKey, "TemplatesOnly", 1); },
         {L"tenant@example.com"},
         {},
         {},
         lease,
         AnswerError,
         kTemplatesOnly},
        {"the wizard cancelled",
         nullptr,
         {L"tenant@example.com"},
         {},
         {},
         lease,
         [](CScriptedUser& user) { user.Expect("Signature Positioning").Click(IDCANCEL); },
         ""},
        {"the login cancelled",
         [](SendBtnTest&) { RegDeleteKeyValueA(HKEY_CURRENT_USER, kProductKey, "Credentials"); },
         {L"tenant@example.com"},
         {},
         {},
         lease,
         [](CScriptedUser& user) { user.Expect("Quillet Login").Click(IDCANCEL); },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);
        WriteText(kProductKey, "Host", kAddress);
        WriteDword(kProductKey, "SSL", 0);
        ASSERT_HR(S_OK, CConfig().SetCredentials(Demo()));
        WriteText(kProductKey, "TemplateFolder", m_templates);
        WriteText(kProductKey, "Identity", standin::kDefaultEmail);
        WriteDword(kProductKey, "ShowWizIntro", 0);
        CallLog().ClearInjections();
        if (c.arrange)
            c.arrange(*this);
        CItem& mail = OpenMail(L"Lease", c.to, c.cc, c.bcc, c.files);
        CScriptedUser user(Patient());
        c.steps(user);
        Click(user);
        ASSERT_TRUE(user.Finished()) << user.Report();
        CallLog().ClearInjections();
        EXPECT_EQ(c.shown, user.TextRead(IDC_ERROR_DETAILS));
        EXPECT_EQ(std::vector<std::string>{}, Touches()) << "the mail is as it was";
        EXPECT_EQ("<none>", Property(mail, L"Quillet"));
        EXPECT_EQ(0u, Service().RequestCount()) << "nothing went to the service";
        EXPECT_TRUE(m_recorder->Lines().empty()) << "no agent";
        m_bar.reset();
    }
}

TEST_F(SendBtnTest, TheAttachmentWarningCanBeTurnedOffAndStillStopTheSend)
{
    WriteText(kProductKey, "FileTypes", "pdf");
    OpenMail(L"Lease", {L"tenant@example.com"}, {}, {}, {{L"notes.txt", "notes"}});
    CScriptedUser user(Patient());
    user.Expect("Unsupported Attachment Type").Check(IDC_BAD_ATTACH_DONT_SHOW).Click(IDCANCEL);
    Click(user);
    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(0u, CConfig().GetShowAttachWarning()) << "ticked before No";
    EXPECT_EQ(std::vector<std::string>{}, Touches());
}

namespace {

// A click that arrives through the thread's messages, as a user's second
// click does while the first send waits in one of its dialogs.
class CLaterClick {
public:
    explicit CLaterClick(CCommandBarButton* button)
    {
        t_button = button;
        SetTimer(nullptr, 0, 10, Fire);
    }

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        if (CCommandBarButton* button = std::exchange(t_button, nullptr))
            button->Click();
    }
    static inline thread_local CCommandBarButton* t_button = nullptr;
};

} // namespace

TEST_F(SendBtnTest, ASecondSendWhileOneRunsIsRefusedAndTheFirstGoesOn)
{
    CItem& mail = OpenMail(L"Lease", {L"tenant@example.com"});
    std::unique_ptr<CLaterClick> second;
    CScriptedUser user(Patient());
    user.Expect("Signature Positioning").Do("click the send button again", [&](HWND) {
        second = std::make_unique<CLaterClick>(Button());
        return true;
    });
    // The refusal comes up inside the first send's wizard, which then goes on.
    AnswerError(user);
    user.Expect("Signature Positioning").Click(kNext).Expect("Signature Sequence").Click(kFinish);
    user.Expect("Quillet-It");
    Click(user);
    ASSERT_TRUE(user.Finished()) << user.Report();

    EXPECT_EQ(kRunning, user.TextRead(IDC_ERROR_DETAILS));
    EXPECT_EQ(4u, Service().RequestCount()) << "one send reached the service";
    EXPECT_EQ("true", Property(mail, L"Quillet")) << "the first send went through";
    EXPECT_EQ(1u, CallLog().Count(L"MailItem", L"Delete"));
    EXPECT_EQ(1u, Tasks().size());
}

TEST_F(SendBtnTest, ADocumentGoesToTheServiceUnderItsBaseNameOnly)
{
    // Display names are the sender's text: none may name a place on disk.
    const struct {
        std::wstring displayName;
        std::string sent;
    } rows[] = {
        {L"..\\..\\x.pdf", "x.pdf"},
        {L"docs/y.pdf", "y.pdf"},
        {L"C:z.pdf", "z.pdf"},
        {L"plain.pdf", "plain.pdf"},
    };
    std::vector<std::pair<std::wstring, std::string>> files;
    for (const auto& row : rows)
        files.push_back({row.displayName, "%PDF-1.4 " + Narrow(row.displayName)});
    OpenMail(L"Lease", {L"tenant@example.com"}, {}, {}, files);
    CScriptedUser user(Patient());
    FinishWizard(user);
    user.Expect("Quillet-It");
    Click(user);
    ASSERT_TRUE(user.Finished()) << user.Report();

    const std::vector<standin::Document> documents = Service().Documents("QF1001");
    ASSERT_EQ(std::size(rows), documents.size());
    const std::vector<standin::Request> requests = Service().Requests();
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].sent);
        EXPECT_EQ(rows[i].sent, documents[i].fileName);
        EXPECT_EQ("%PDF-1.4 " + Narrow(rows[i].displayName), documents[i].data)
            << "the document itself is the attachment's";
        ASSERT_LT(i + 1, requests.size());
        EXPECT_EQ(rows[i].sent, requests[i + 1].Element("pstr_Title"));
    }
}

TEST_F(SendBtnTest, AnUntickedOwnEntryReachesNoSignerListAndNoAudience)
{
    // Ticked and unticked again with one To recipient: only the recipient
    // signs, whichever way the request goes out.
    const struct {
        const char* what;
        bool broadcast;
    } rows[] = {{"interactive", false}, {"broadcast", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(Service().Reset());
        OpenMail(L"Lease", {L"tenant@example.com"});
        CScriptedUser user(Patient());
        user.Expect("Signature Positioning").Click(kNext).Expect("Signature Sequence");
        user.Check(IDC_SIGNSEQ_ADD_MYSELF).Check(IDC_SIGNSEQ_ADD_MYSELF, false);
        if (row.broadcast)
            user.Check(IDC_SIGNSEQ_BROADCAST);
        user.Click(kFinish);
        if (!row.broadcast)
            user.Expect("Quillet-It");
        Click(user);
        ASSERT_TRUE(user.Finished()) << user.Report();

        EXPECT_EQ(0u, CallLog().Count(L"Recipients", L"Add")) << "the mail gained no recipient";
        if (row.broadcast) {
            const std::vector<std::string> started = m_recorder->WaitForLines(1);
            ASSERT_EQ(1u, started.size());
            const std::string broadcastPath = started[0].substr(started[0].find("\" ") + 2);
            const std::string create = ValueOf(Children(broadcastPath), "CreateSignature");
            const std::string recips = ReadFileBytes(ValueOf(Children(create), "Recips"));
            // The agent's audience, one target per recipient ("@" escaped).
            size_t targets = 0;
            for (size_t at = recips.find("<target>"); at != std::string::npos;
                 at = recips.find("<target>", at + 1))
                ++targets;
            EXPECT_EQ(1u, targets) << recips;
            EXPECT_NE(std::string::npos, recips.find("<email>tenant&#64;example.com</email>"))
                << recips;
        } else {
            const std::vector<standin::Request> requests = Service().Requests();
            ASSERT_FALSE(requests.empty());
            EXPECT_EQ("tenant@example.com", requests[0].Element("pstr_Signers"));
            EXPECT_EQ("", requests[0].Element("pstr_SecondSigners"));
            EXPECT_EQ("", requests[0].Element("pstr_CCs"));
        }
        m_bar.reset();
    }
    // The broadcast's agent run is the recorder's only line.
    EXPECT_EQ(1u, m_recorder->Lines().size());
}

// ---- the broadcast ----

TEST_F(SendBtnTest, ABroadcastWritesItsFilesAndHandsThemToTheAgent)
{
    CItem& mail = OpenMail(L"Lease", {L"tenant@example.com", L"owner@example.com"}, {}, {},
                           {{L"lease.pdf", "%PDF-1.4 lease"}, {L"annex.pdf", "%PDF-1.4 annex"}});
    const std::string entryId = Narrow(mail.EntryId());
    CScriptedUser user(Patient());
    user.Expect("Signature Positioning").Click(kNext).Expect("Signature Sequence");
    user.Check(IDC_SIGNSEQ_BROADCAST);
    // The user's own receipt subject: "%s" is the mail's subject, and
    // nothing else in it is a format.
    user.Type(IDC_SIGNSEQ_SUBJECT, "Signed by %s %d%n");
    user.Click(kFinish);
    Click(user);
    ASSERT_TRUE(user.Finished()) << user.Report();

    EXPECT_EQ(0u, Service().RequestCount()) << "the agent sends, not the add-in";
    const std::vector<std::string> started = m_recorder->WaitForLines(1);
    ASSERT_EQ(1u, started.size()) << "the agent started once";
    const std::string agent = "\"" + ProgramFolder() + "inkProxy.exe\" ";
    ASSERT_EQ(0u, started[0].rfind(agent, 0)) << started[0];
    const std::string broadcastPath = started[0].substr(agent.size());
    ASSERT_TRUE(FileExists(broadcastPath)) << "one argument: the broadcast file";

    std::string root;
    const std::vector<std::string> lines = Children(broadcastPath, &root);
    EXPECT_EQ("inkBroadcast", root);
    std::vector<std::string> names;
    for (const std::string& line : lines)
        names.push_back(line.substr(0, line.find('=')));
    EXPECT_EQ((std::vector<std::string>{"CreateSignature", "AddDocument", "AddDocument",
                                        "SetParams", "GetLink", "SendInvite", "EntryID",
                                        "MakeReceipt", "ReceiptSubject", "ReceiptCategory"}),
              names);
    EXPECT_EQ(entryId, ValueOf(lines, "EntryID"));
    EXPECT_EQ("1", ValueOf(lines, "MakeReceipt"));
    EXPECT_EQ("Signed by Lease %d%n", ValueOf(lines, "ReceiptSubject"));
    EXPECT_EQ("Quillet", ValueOf(lines, "ReceiptCategory"));
    EXPECT_EQ("", ValueOf(lines, "SetParams")) << "addresses not hidden";

    const struct {
        const char* element;
        size_t index; // among the elements of that name
        const char* kind;
        std::vector<std::string> pieces;
    } operations[] = {
        {"CreateSignature", 0, "OpSendDoc", {"Head", "Recips", "Tail", "Options"}},
        {"AddDocument", 0, "OpAddDoc", {"Head", "Tail"}},
        {"AddDocument", 1, "OpAddDoc", {"Head", "Tail"}},
        {"GetLink", 0, "OpGetLink", {"Head", "Tail"}},
        {"SendInvite", 0, "OpInvite", {"Head", "Tail"}},
    };
    for (const auto& op : operations) {
        SCOPED_TRACE(std::string(op.element) + " " + std::to_string(op.index));
        std::string path;
        size_t seen = 0;
        for (const std::string& line : lines) {
            if (line.rfind(std::string(op.element) + "=", 0) == 0 && seen++ == op.index)
                path = line.substr(line.find('=') + 1);
        }
        ASSERT_TRUE(FileExists(path)) << path;
        std::string kind;
        const std::vector<std::string> children = Children(path, &kind);
        EXPECT_EQ(op.kind, kind);
        ASSERT_EQ(op.pieces.size() + 1, children.size());
        EXPECT_EQ(0u, children[0].rfind("SOAPAction=", 0));
        for (size_t i = 0; i < op.pieces.size(); ++i) {
            EXPECT_EQ(op.pieces[i], children[i + 1].substr(0, children[i + 1].find('=')));
            EXPECT_TRUE(FileExists(children[i + 1].substr(children[i + 1].find('=') + 1)))
                << "the piece is there for the agent";
        }
    }

    EXPECT_EQ("true", Property(mail, L"Quillet"));
    EXPECT_EQ(1u, CallLog().Count(L"MailItem", L"Close"));
    EXPECT_EQ(1u, CallLog().Count(L"MailItem", L"Delete"));
    EXPECT_TRUE(Tasks().empty()) << "the agent's receipts come later, as files";
}

TEST_F(SendBtnTest, AnAgentThatDoesNotStartKeepsTheMailAndLeavesNoFiles)
{
    const std::string agent = ProgramFolder() + "inkProxy.exe";
    const std::string away = ProgramFolder() + "inkProxy.away";
    ASSERT_TRUE(MoveFileExA(agent.c_str(), away.c_str(), MOVEFILE_REPLACE_EXISTING));
    struct PutBack {
        std::string from, to;
        ~PutBack() { MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING); }
    } putBack{away, agent};

    CItem& mail = OpenMail(L"Lease", {L"tenant@example.com"});
    const std::set<std::string> before = QuillSet(TempDir());
    CScriptedUser user(Patient());
    user.Expect("Signature Positioning").Click(kNext).Expect("Signature Sequence");
    user.Check(IDC_SIGNSEQ_BROADCAST).Click(kFinish);
    AnswerError(user);
    Click(user);
    ASSERT_TRUE(user.Finished()) << user.Report();

    EXPECT_EQ(kNoAgent, user.TextRead(IDC_ERROR_DETAILS));
    EXPECT_EQ(before, QuillSet(TempDir())) << "the request files went again";
    EXPECT_EQ(std::vector<std::string>{}, Touches()) << "the mail is as it was";
    EXPECT_EQ("<none>", Property(mail, L"Quillet"));
}

// ---- a template's documents and texts ----

namespace {

// A template file whose document is embedded (its bytes in the file) and
// whose one signer takes the mail's one To recipient.
std::string EmbeddedTemplate(const std::string& documentName, const std::string& bytes,
                             int sendMode)
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate><Name>NDA</Name>\n"
           "<Document><Key>C:\\docs\\" +
           documentName + "</Key>\n<Name>" + documentName +
           "</Name>\n<Type>Signature</Type>\n<FileBytes>" + Base64Encode(bytes) +
           "</FileBytes></Document>"
           "<Options><SignatureType>0</SignatureType>\n<SendMode>" +
           std::to_string(sendMode) +
           "</SendMode>\n<Positioning>2</Positioning>\n<Password>s3cret</Password>\n"
           "<MouseTouchSigning>0</MouseTouchSigning>\n<HideEmailAddrs>0</HideEmailAddrs>\n"
           "</Options><Email><Subject>NDA for [Tenant]</Subject>\n"
           "<Message>Dear [Tenant], the password is [Password].</Message>\n</Email>"
           "<Signers><Signer><Name>Tenant</Name>\n<Email></Email>\n<Role>Tenant</Role>\n"
           "<Sequence>1</Sequence>\n<Sender>0</Sender>\n<HardCoded>0</HardCoded>\n</Signer>"
           "</Signers></inkTemplate>";
}

} // namespace

TEST_F(SendBtnTest, ASingleClickTemplateSendsItsOwnDocumentUnderItsOwnExtension)
{
    const std::string bytes = std::string("PK\x03\x04", 4) + " the agreement";
    WriteFileBytes(m_templates + "\\NDA.xml", EmbeddedTemplate("nda.docx", bytes, 0));
    WriteDword(kProductKey, "TemplatesOnly", 1);
    WriteDword(kProductKey, "SingleClick", 1);
    CItem& mail = OpenMail(L"Lease", {L"tenant@example.com"}, {}, {}, {});
    CScriptedUser user(Patient());
    user.Expect("Quillet-It");
    Click(user);
    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(std::vector<std::string>{"Quillet-It"}, user.Captions()) << "no wizard";

    ASSERT_EQ(1u, mail.Attachments().Count()) << "the template's document joined the mail";
    CAttachment* added = mail.Attachments().At(0);
    EXPECT_EQ(L"nda.docx", added->DisplayName());
    const std::wstring file = added->FileName();
    EXPECT_EQ(L".docx", file.substr(file.size() < 5 ? 0 : file.size() - 5))
        << "decoded under the document's own extension";
    EXPECT_EQ(bytes, added->Bytes());

    const std::vector<standin::Document> documents = Service().Documents("QF1001");
    ASSERT_EQ(1u, documents.size());
    EXPECT_EQ("nda.docx", documents[0].fileName);
    EXPECT_EQ(bytes, documents[0].data);
    // The template's texts with the role and the password filled in.
    EXPECT_EQ(L"NDA for tenant@example.com", mail.Subject());
    EXPECT_EQ(L"Dear tenant@example.com, the password is s3cret.", mail.Body());
    const std::vector<standin::Request> requests = Service().Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ("Dear tenant@example.com, the password is s3cret.",
              Base64Decode(requests[0].Element("pstr_EmailMessage")));
    EXPECT_EQ(1u, CallLog().Count(L"MailItem", L"Delete"));
}

TEST_F(SendBtnTest, ABroadcastKeepsTheRolePlaceholdersForTheAgent)
{
    WriteFileBytes(m_templates + "\\NDA.xml", EmbeddedTemplate("nda.pdf", "%PDF-1.4 nda", 1));
    WriteDword(kProductKey, "TemplatesOnly", 1);
    WriteDword(kProductKey, "SingleClick", 1);
    CItem& mail = OpenMail(L"Lease", {L"tenant@example.com"}, {}, {}, {});
    CScriptedUser user(Patient());
    Click(user);
    ASSERT_TRUE(user.Finished()) << user.Report();

    EXPECT_EQ(L"NDA for [Tenant]", mail.Subject()) << "filled per recipient by the agent";
    const std::vector<std::string> started = m_recorder->WaitForLines(1);
    ASSERT_EQ(1u, started.size());
    const std::string broadcastPath = started[0].substr(started[0].find("\" ") + 2);
    const std::string create = ValueOf(Children(broadcastPath), "CreateSignature");
    const std::string recips = ValueOf(Children(create), "Recips");
    EXPECT_NE(std::string::npos, ReadFileBytes(recips).find("<m:pstr_RoleMap>"))
        << "the request carries its role map";
    EXPECT_EQ(1u, CallLog().Count(L"MailItem", L"Delete"));
}

TEST_F(SendBtnTest, ATemplateChosenInTheWizardLeavesNoPlaceholderInTheMail)
{
    WriteFileBytes(m_templates + "\\NDA.xml", EmbeddedTemplate("nda.pdf", "%PDF-1.4 nda", 0));
    // A mail with a body of its own keeps it; its subject is the template's,
    // filled, only when it had none.
    const struct {
        const char* what;
        std::wstring subject;
        std::wstring sentSubject;
    } rows[] = {
        {"a mail without subject", L"", L"NDA for tenant@example.com"},
        {"a mail with its own subject", L"Lease", L"Lease"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(Service().Reset());
        CItem& mail = OpenMail(row.subject, {L"tenant@example.com"}, {}, {}, {});
        CScriptedUser user(Patient());
        user.Expect("Use a Template?").PickComboItem(IDC_TEMPLATE_COMBO, "NDA");
        user.Click(kNext);
        FinishWizard(user);
        user.Expect("Quillet-It");
        Click(user);
        ASSERT_TRUE(user.Finished()) << user.Report();

        EXPECT_EQ(row.sentSubject, mail.Subject());
        EXPECT_EQ(L"Please sign the lease.", mail.Body());
        const std::vector<standin::Request> requests = Service().Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ("Please sign the lease.", Base64Decode(requests[0].Element("pstr_EmailMessage")));
        const std::vector<CItem*> tasks = Tasks();
        ASSERT_FALSE(tasks.empty()) << "the receipt task";
        EXPECT_EQ("Quillet Receipt: " + Narrow(row.sentSubject), Narrow(tasks.back()->Subject()));
        m_bar.reset();
    }
}
