// Commands that meet, in the Outlook stand-in against the stand-in service:
// while a send, a sync or a receipt import waits in its dialog, the user
// starts another from a window Outlook leaves usable (a second mail, the
// explorer). The second is refused with a message owned by the window it
// was started in (an import, which asks nothing, waits for the next
// selection); the first goes on over its own connection. And each dialog
// is owned by the window it acts for, even when two mails share a caption.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>

#include "addin/AddinResource.h"
#include "classlib/ui/CMessageWindow.h"
#include "addin/commands/CmdBar.h"
#include "addin/core/AddinProtocol.h"
#include "addin/core/CommandRun.h"
#include "addin/receipts/ReceiptMgr.h"
#include "addin/send/SendBtn.h"
#include "addin/sync/SyncBtn.h"
#include "shared/SharedResource.h"
#include "shared/config/Config.h"
#include "shared/requests/Receipt.h"
#include "shared/service/ServiceGlobals.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/EventIds.h"
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
#include "tests/support/FolderGuard.h"
#include "tests/support/HResultText.h"
#include "tests/support/ServiceTest.h"
#include "tests/support/SoapCallOp.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestEventSink.h"

using namespace standin;
using namespace testenv;

namespace {

constexpr char kAddress[] = "127.0.0.36";
constexpr int kNext = 0x3024;
constexpr int kFinish = 0x3025;
constexpr char kSyncCaption[] = "Synchronizing with Quillet";

constexpr char kSendRunning[] = "A Quillet send is already under way in Outlook.  Please finish "
                                "it before you send another mail item.";
constexpr char kSendRunningSync[] = "A Quillet send is under way in Outlook.  Please finish it "
                                    "before you synchronize your requests.";
constexpr char kSyncRunning[] = "Quillet is synchronizing your requests.  Please wait until the "
                                "synchronization window is closed, then try again.";
constexpr char kImportRunning[] = "Quillet is importing receipts into your Tasks.  Please wait "
                                  "until the import is complete, then try again.";

// One receipt file as the agent leaves it: a request with one signer, its
// results and no document.
std::string ReceiptFile(const std::string& fileId)
{
    const std::string ns = " xmlns:m=\"http://secure.quillet.com/services/\"";
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><inkReceipt>\n"
           "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
           "<m:CreateSignatureRequest" +
           ns +
           "><m:pstr_APICode>QUILLET-DEMO-0001</m:pstr_APICode>\n"
           "<m:pstr_FileName>Lease</m:pstr_FileName>\n<CSRSigners" +
           ns +
           "><m:pstr_Signers>ann@example.com</m:pstr_Signers>\n</CSRSigners>\n"
           "</m:CreateSignatureRequest></soap:Body></soap:Envelope>\n"
           "<Results><FileID>" +
           fileId + "</FileID><ReceiptSubject>Imported " + fileId +
           "</ReceiptSubject></Results></inkReceipt>\n";
}

// Runs an action once from the thread's message loop, as a click the user
// makes while a dialog is up comes in through that dialog's modal loop.
class CLater {
public:
    explicit CLater(std::function<void()> action)
    {
        t_action = std::move(action);
        t_done = false;
        SetTimer(nullptr, 0, 10, Fire);
    }
    CLater(const CLater&) = delete;
    CLater& operator=(const CLater&) = delete;
    ~CLater() { t_action = nullptr; }
    static bool Done() { return t_done; }

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        if (auto action = std::exchange(t_action, nullptr))
            action();
        t_done = true;
    }
    static inline thread_local std::function<void()> t_action;
    static inline thread_local bool t_done = false;
};

// Runs an action as the next message of the thread's queue: ahead of the
// steps a dialog has already posted itself, where a timer comes only once
// the queue is empty. The import's dialog ends one posted step after its
// last task, so a click meant to come in while it runs must be posted.
class CPostedClick {
public:
    explicit CPostedClick(std::function<void()> action) : m_action(std::move(action))
    {
        m_window.Create([this](UINT message, WPARAM, LPARAM, LRESULT&) {
            if (message != WM_APP || !m_action)
                return false;
            std::exchange(m_action, nullptr)();
            return true;
        });
    }
    void Post() { m_window.Post(WM_APP); }

private:
    std::function<void()> m_action;
    CMessageWindow m_window;
};

// A sink connected to a source's events for one scope: it lives on the
// test's stack, so it is let go also when an assertion ends the test early.
class CAdvised {
public:
    CAdvised(IDispatch* source, const IID& events, IUnknown& sink)
    {
        CComPtr<IConnectionPointContainer> points;
        m_result = source->QueryInterface(IID_IConnectionPointContainer, points.PutVoid());
        if (SUCCEEDED(m_result))
            m_result = points->FindConnectionPoint(events, m_point.Put());
        if (SUCCEEDED(m_result))
            m_result = m_point->Advise(&sink, &m_cookie);
        if (FAILED(m_result))
            m_point.Release();
    }
    CAdvised(const CAdvised&) = delete;
    CAdvised& operator=(const CAdvised&) = delete;
    ~CAdvised()
    {
        if (m_point)
            m_point->Unadvise(m_cookie);
    }
    HRESULT Result() const { return m_result; }

private:
    CComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
    HRESULT m_result = E_FAIL;
};

enum class Command { kSend, kSync, kImport };

class CommandsTest : public ServiceTestOn<kAddress> {
protected:
    void SetUp() override
    {
        ServiceTestOn<kAddress>::SetUp();
        // The commands make the process's protocol object, as in Outlook.
        m_protocol.Disconnect();
        ServiceGlobals().protocol = nullptr;
        ASSERT_HR(S_OK, CConfig().SetCredentials(Demo()));
        const std::string templates = TempDir() + "templates";
        CreateDirectoryA(templates.c_str(), nullptr);
        WriteText(kProductKey, "TemplateFolder", templates);
        WriteText(kProductKey, "Identity", standin::kDefaultEmail);
        WriteDword(kProductKey, "ShowWizIntro", 0);
        WriteDword(kProductKey, "MakeReceipt", 0);
        WriteDword(kProductKey, "SyncSize", 0); // the sync waits to be closed
        CString receipts;
        ASSERT_HR(S_OK, GetReceiptsFolder(receipts));
        m_receipts = receipts.str() + "\\";
        m_receiptsGuard.emplace(m_receipts, TempDir() + "receipts-aside\\", true);
        m_app = New<CApplication>();
        m_tasks = m_app->Mailbox().DefaultFolder(kFolderTasks);
        ASSERT_NE(nullptr, m_tasks);
        m_explorer = &m_app->OpenExplorer(m_tasks);
        m_sync.SetApplication(m_app->Dispatch());
    }

    void TearDown() override
    {
        m_bars.clear();
        CallLog().ClearInjections();
        m_app->Quit();
        m_app.Release();
        ReleaseAddinProtocol();
        CServiceGlobals& globals = ServiceGlobals();
        globals.protocol = nullptr;
        globals.senderName.Empty();
        globals.senderSmtp.Empty();
        m_receiptsGuard.reset();
        ServiceTestOn<kAddress>::TearDown();
    }

    // A mail to one signer with a PDF, open with the send button on its bar.
    CInspector& OpenMail(const std::wstring& subject)
    {
        CComPtr<CItem> mail = m_app->Mailbox().CreateItem(kItemTypeMail);
        mail->SetSubject(subject);
        mail->SetBody(L"Please sign the lease.");
        mail->Recipients().Add(L"tenant@example.com", kRecipientTo);
        mail->Attachments().Add(kAttachByValue, L"lease.pdf", L"lease.pdf", "%PDF-1.4 lease", 0);
        mail->Save();
        CInspector& inspector = m_app->OpenInspector(*mail);
        auto bar = std::make_unique<CCmdBar>();
        EXPECT_HR(S_OK, bar->Create(inspector.Dispatch(), "Quillet"));
        auto* button = new CSendBtn(IDS_SEND_CAPTION, IDB_SEND_FACE, IDB_SEND_MASK);
        button->SetApplication(m_app->Dispatch());
        button->SetTag(("sf" + std::to_string(m_bars.size()) + ";").c_str());
        EXPECT_HR(S_OK, bar->AddButton(button, TRUE));
        m_bars.push_back(std::move(bar));
        return inspector;
    }

    // A receipt task of a request the service knows, for the sync to read.
    void AddSyncedTask()
    {
        // Over the test's own connection, let go again before any command.
        ASSERT_HR(S_OK, m_protocol.Connect(m_url));
        SoapCallOp create(m_url, "CreateSignatureRequest",
                          SoapCallOp::CreateRequestElements("ann@example.com", "Contract"));
        ASSERT_EQ(1, create.Run(nullptr, 0, CWebSvrOp::kPrepare)) << create.GetErrorText();
        m_protocol.Disconnect();
        CComPtr<CItem> task = m_app->Mailbox().CreateItem(kItemTypeTask);
        task->SetSubject(L"Quillet Receipt: Contract");
        const std::string id = create.m_result.str();
        task->UserProperties()
            .Add(L"Quillet ID", kPropText)
            .SetText(std::wstring(id.begin(), id.end()));
        task->Save();
    }

    // The user clicks the send button of that mail's window.
    void ClickSend(CInspector& inspector)
    {
        m_app->Activate(inspector);
        inspector.CommandBars().Find(L"Quillet")->Controls()->At(0)->Click();
    }

    HRESULT Import() { return CReceiptMgr::Import(m_app->Dispatch()); }

    std::vector<std::string> MethodsSince(size_t first)
    {
        std::vector<std::string> methods;
        const std::vector<standin::Request> requests = Service().Requests();
        for (size_t i = first; i < requests.size(); ++i)
            methods.push_back(requests[i].soapMethod);
        return methods;
    }

    size_t Count(const std::vector<std::string>& methods, const std::string& method)
    {
        size_t count = 0;
        for (const std::string& m : methods)
            count += m == method;
        return count;
    }

    CComPtr<CApplication> m_app;
    CFolder* m_tasks = nullptr;
    CExplorer* m_explorer = nullptr;
    CSyncBtn m_sync;
    std::vector<std::unique_ptr<CCmdBar>> m_bars;
    std::string m_receipts;
    std::optional<CFolderGuard> m_receiptsGuard;
};

} // namespace

TEST_F(CommandsTest, ACommandStartedWhileAnotherRunsIsRefusedAndTheFirstGoesOn)
{
    struct Case {
        const char* what;
        Command first;
        Command second;
        const char* refusal; // null: the second waits without a word
    };
    const Case cases[] = {
        {"send, then a send from another mail", Command::kSend, Command::kSend, kSendRunning},
        {"send, then a sync", Command::kSend, Command::kSync, kSendRunningSync},
        {"send, then a receipt import", Command::kSend, Command::kImport, nullptr},
        {"sync, then a send", Command::kSync, Command::kSend, kSyncRunning},
        {"sync, then a second sync", Command::kSync, Command::kSync, kSyncRunning},
        {"sync, then a receipt import", Command::kSync, Command::kImport, nullptr},
        {"receipt import, then a send", Command::kImport, Command::kSend, kImportRunning},
        {"receipt import, then a sync", Command::kImport, Command::kSync, kImportRunning},
    };
    AddSyncedTask();
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ++round;
        CInspector& sending = OpenMail(L"Lease " + std::to_wstring(round));
        CInspector& other = OpenMail(L"Other " + std::to_wstring(round));
        const std::string receipt = "QR" + std::to_string(round) + ".xml";
        WriteFileBytes(m_receipts + receipt, ReceiptFile("QR" + std::to_string(round)));
        const size_t tasksBefore = m_tasks->Items().Count();
        const size_t requestsBefore = Service().RequestCount();

        HWND secondWindow = c.second == Command::kSend ? other.Window() : m_explorer->Window();
        HRESULT secondImport = E_UNEXPECTED;
        const std::function<void()> second = [&] {
            switch (c.second) {
            case Command::kSend:
                ClickSend(other);
                break;
            case Command::kSync:
                m_sync.OnClick();
                break;
            case Command::kImport:
                secondImport = Import();
                break;
            }
        };
        std::optional<CLater> later;
        HWND refusalOwner = nullptr;
        CScriptedUser user;
        const auto readRefusal = [&](CScriptedUser& u) {
            u.Expect("Quillet Error")
                .Do("see whose it is",
                    [&](HWND dialog) {
                        refusalOwner = GetWindow(dialog, GW_OWNER);
                        return true;
                    })
                .Read(IDC_ERROR_DETAILS)
                .Click(IDOK);
        };
        const auto startSecond = [&](CScriptedUser& u) {
            u.Do("start the second command", [&](HWND) {
                later.emplace(second);
                return true;
            });
            if (c.refusal)
                readRefusal(u);
            else
                u.Do("wait for it", [&](HWND) { return CLater::Done(); });
        };

        // The import makes its task inside its dialog: the second command
        // comes in there, as a click while the import runs. Not inside the
        // task's ItemAdd itself, where Outlook takes no dialog.
        bool secondRan = false;
        CPostedClick click([&] {
            secondRan = true;
            second();
        });
        CTestEventSink tasksSink(kItemsEvents, [&](DISPID id, DISPPARAMS&) {
            if (id == kDispItemAdd && c.first == Command::kImport)
                click.Post();
        });
        const CAdvised advised(m_tasks->Items().Dispatch(), kItemsEvents, tasksSink);
        ASSERT_HR(S_OK, advised.Result());

        switch (c.first) {
        case Command::kSend:
            user.Expect("Signature Positioning");
            startSecond(user);
            user.Expect("Signature Positioning").Click(kNext);
            user.Expect("Signature Sequence").Click(kFinish);
            user.Expect("Quillet-It");
            user.Start();
            ClickSend(sending);
            break;
        case Command::kSync:
            user.Expect(kSyncCaption).Do("wait for the sync's end", [](HWND dialog) {
                char text[32] = {};
                GetDlgItemTextA(dialog, IDCANCEL, text, sizeof text);
                return std::string(text) == "Close";
            });
            startSecond(user);
            user.Expect(kSyncCaption).Click(IDCANCEL);
            user.Start();
            m_sync.OnClick();
            break;
        case Command::kImport:
            if (c.refusal)
                readRefusal(user);
            user.Start();
            EXPECT_HR(S_OK, Import());
            EXPECT_TRUE(secondRan) << "the click came in while the import ran";
            break;
        }
        user.Stop();
        ASSERT_TRUE(user.Finished()) << user.Report();

        if (c.refusal) {
            EXPECT_EQ(c.refusal, user.TextRead(IDC_ERROR_DETAILS));
            EXPECT_EQ(secondWindow, refusalOwner) << "owned by the window it was started in";
        } else {
            EXPECT_HR(S_FALSE, secondImport) << "the import waits";
            EXPECT_EQ(1u, ListFiles(m_receipts).size()) << "its receipt file waits with it";
        }

        const std::vector<std::string> methods = MethodsSince(requestsBefore);
        switch (c.first) {
        case Command::kSend:
            EXPECT_EQ((std::vector<std::string>{"CreateSignatureRequest", "AddDocumentToRequest",
                                                "GetMaintenanceLink", "InviteSigners"}),
                      methods)
                << "the first send alone reached the service";
            break;
        case Command::kSync:
            EXPECT_EQ(0u, Count(methods, "CreateSignatureRequest")) << "no send reached it";
            EXPECT_LT(0u, methods.size()) << "the sync read its task's state";
            break;
        case Command::kImport:
            EXPECT_TRUE(methods.empty()) << "neither a send nor a sync reached the service";
            EXPECT_EQ(tasksBefore + 1, m_tasks->Items().Count()) << "the import made its task";
            break;
        }
        EXPECT_EQ(AddinCommand::kNone, CCommandRun::Running()) << "every command has ended";

        // Nothing was lost: with the others over, a waiting import runs.
        CScriptedUser after;
        after.Start();
        Import();
        after.Stop();
        EXPECT_TRUE(ListFiles(m_receipts).empty());
        if (c.first != Command::kSend) // a send closes its mail itself
            sending.Close(1);
        other.Close(1);
    }
}

TEST_F(CommandsTest, DialogsAreOwnedByTheWindowTheyActForEvenWhenTwoMailsShareACaption)
{
    CInspector& first = OpenMail(L"Lease");
    CInspector& second = OpenMail(L"Lease");
    ASSERT_EQ(first.Caption(), second.Caption());
    const HWND firstWindow = first.Window();
    const HWND secondWindow = second.Window();
    const HWND explorerWindow = m_explorer->Window();

    struct Seen {
        HWND owner = nullptr;
        bool ownerEnabled = true;
        bool otherMailEnabled = false;
        bool explorerEnabled = false;
    };
    std::vector<std::pair<std::string, Seen>> seen;
    const auto look = [&](CScriptedUser& user, const char* caption, HWND other) {
        user.Expect(caption).Do(std::string("see who owns ") + caption,
                                [&, caption, other](HWND dialog) {
                                    Seen s;
                                    s.owner = GetWindow(dialog, GW_OWNER);
                                    s.ownerEnabled = s.owner && IsWindowEnabled(s.owner);
                                    s.otherMailEnabled = IsWindowEnabled(other) != FALSE;
                                    s.explorerEnabled = IsWindowEnabled(explorerWindow) != FALSE;
                                    seen.emplace_back(caption, s);
                                    return true;
                                });
    };

    // A send from the older of the two mails.
    {
        CScriptedUser user;
        look(user, "Signature Positioning", secondWindow);
        user.Click(kNext).Expect("Signature Sequence").Click(kFinish);
        user.Expect("Quillet-It");
        user.Start();
        ClickSend(first);
        user.Stop();
        ASSERT_TRUE(user.Finished()) << user.Report();
    }
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(firstWindow, seen[0].second.owner) << "the wizard: the mail it sends";
    EXPECT_FALSE(seen[0].second.ownerEnabled) << "the mail cannot be closed under the send";
    EXPECT_TRUE(seen[0].second.otherMailEnabled);
    EXPECT_TRUE(seen[0].second.explorerEnabled);

    // A refusal from the other mail: no SMTP recipient.
    {
        CComPtr<CItem> empty = m_app->Mailbox().CreateItem(kItemTypeMail);
        empty->SetSubject(L"Lease");
        empty->Save();
        CInspector& lone = m_app->OpenInspector(*empty);
        auto bar = std::make_unique<CCmdBar>();
        ASSERT_HR(S_OK, bar->Create(lone.Dispatch(), "Quillet"));
        auto* button = new CSendBtn(IDS_SEND_CAPTION, IDB_SEND_FACE, IDB_SEND_MASK);
        button->SetApplication(m_app->Dispatch());
        button->SetTag("lone;");
        ASSERT_HR(S_OK, bar->AddButton(button, TRUE));
        m_bars.push_back(std::move(bar));
        CScriptedUser user;
        look(user, "Quillet Error", secondWindow);
        user.Click(IDOK);
        user.Start();
        ClickSend(lone);
        user.Stop();
        ASSERT_TRUE(user.Finished()) << user.Report();
        ASSERT_EQ(2u, seen.size());
        EXPECT_EQ(lone.Window(), seen[1].second.owner) << "the refusal: the mail refused";
        lone.Close(1);
    }

    // The sync and the receipt import act for the explorer.
    AddSyncedTask();
    {
        CScriptedUser user;
        look(user, kSyncCaption, secondWindow);
        user.Do("wait for the sync's end", [](HWND dialog) {
            char text[32] = {};
            GetDlgItemTextA(dialog, IDCANCEL, text, sizeof text);
            return std::string(text) == "Close";
        });
        user.Click(IDCANCEL);
        user.Start();
        m_sync.OnClick();
        user.Stop();
        ASSERT_TRUE(user.Finished()) << user.Report();
        ASSERT_EQ(3u, seen.size());
        EXPECT_EQ(explorerWindow, seen[2].second.owner) << "the sync: the explorer";
        EXPECT_FALSE(seen[2].second.ownerEnabled);
        EXPECT_TRUE(seen[2].second.otherMailEnabled);
    }
    {
        WriteFileBytes(m_receipts + "owned.xml", ReceiptFile("QR77"));
        HWND importOwner = nullptr;
        CTestEventSink tasksSink(kItemsEvents, [&](DISPID id, DISPPARAMS&) {
            if (id == kDispItemAdd && !importOwner)
                importOwner = GetWindow(CScriptedUser::TopmostDialog(), GW_OWNER);
        });
        const CAdvised advised(m_tasks->Items().Dispatch(), kItemsEvents, tasksSink);
        ASSERT_HR(S_OK, advised.Result());
        CScriptedUser user;
        user.Start();
        EXPECT_HR(S_OK, Import());
        user.Stop();
        EXPECT_EQ(explorerWindow, importOwner) << "the receipt import: the explorer";
    }
}

// Outlook may shut the add-in down from inside a command's dialog (the user
// quits from another window): the connection the dialog uses stays until
// the command has ended.
TEST_F(CommandsTest, AShutdownDuringACommandLetsTheConnectionGoOnlyAfterIt)
{
    AddSyncedTask();
    bool heldDuring = false;
    CScriptedUser user;
    user.Expect(kSyncCaption)
        .Do("wait for the sync's end, then Outlook shuts down", [&](HWND dialog) {
            char text[32] = {};
            GetDlgItemTextA(dialog, IDCANCEL, text, sizeof text);
            if (std::string(text) != "Close")
                return false;
            ReleaseAddinProtocol();
            heldDuring = ServiceGlobals().protocol != nullptr && ServiceGlobals().api != nullptr;
            return true;
        });
    user.Click(IDCANCEL);
    user.Start();
    EXPECT_HR(S_OK, m_sync.OnClick());
    user.Stop();
    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_TRUE(heldDuring) << "the running sync keeps its connection";
    EXPECT_EQ(nullptr, ServiceGlobals().protocol) << "and lets it go as it ends";
    EXPECT_EQ(nullptr, ServiceGlobals().api);
}
