// The receipt import against the Outlook stand-in: receipt files in the
// broadcast agent's format become receipt tasks with the sent mail rebuilt
// and embedded, byte for byte; each file goes once its task is saved, one
// whose task could not be made stays for the next import, one that does not
// read stays where it is; the dialog counts to "Done"; and an import never
// runs inside another.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <ocidl.h>
#include <commctrl.h>

#include "addin/AddinResource.h"
#include "addin/core/PostedWork.h"
#include "addin/receipts/DlgReceipts.h"
#include "addin/receipts/QuilletReceipt.h"
#include "addin/receipts/ReceiptMgr.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/requests/Receipt.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Attachments.h"
#include "standins/outlook/model/Explorer.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/Mailbox.h"
#include "standins/outlook/model/UserProperties.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/support/FolderGuard.h"
#include "tests/support/HResultText.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBase64.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestEventSink.h"
#include "tests/support/TestText.h"
#include "classlib/win32/Handles.h"

using namespace standin;
using namespace testenv;

namespace {

const std::string kEnvelopeOpen =
    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>";
const std::string kEnvelopeClose = "</soap:Body></soap:Envelope>\n";
const std::string kNamespace = " xmlns:m=\"http://secure.quillet.com/services/\"";

// One document operation: either part may be missing.
struct Document {
    std::string name;  // no pstr_FileName when empty
    std::string bytes; // no pbyt_File when empty
};

// What the agent sent for one target and what the service answered.
struct Receipt {
    std::string subject = "Contract 7";
    std::string signers = "ann@example.com,bob@example.com";
    std::string secondSigners = "carol@example.com";
    std::string ccs = "dave@example.com";
    std::string message = "Please sign.\r\nMerci \xE9t\xE9.";
    std::vector<Document> documents;
    bool results = true;
    std::string fileId = "QF1001";
    std::string link = "https://sign.example/doc?id=1001&key=abc";
    std::string receiptSubject = "Quillet Receipt";
    std::string category = "Contracts";

    // The file as the agent writes it: its pieces as the add-in cut them
    // (a document's bytes before its name), the Results, the closing line.
    std::string File() const
    {
        std::string file = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><inkReceipt>\n";
        file += kEnvelopeOpen + "<m:CreateSignatureRequest" + kNamespace +
                "><m:pstr_APICode>QUILLET-DEMO-0001</m:pstr_APICode>\n<m:pstr_FileName>" +
                Escaped(subject) + "</m:pstr_FileName>\n";
        file += "<CSRSigners" + kNamespace + "><m:pstr_Signers>" + signers +
                "</m:pstr_Signers>\n<m:pstr_SecondSigners>" + secondSigners +
                "</m:pstr_SecondSigners>\n<m:pstr_CCs>" + ccs + "</m:pstr_CCs>\n</CSRSigners>\n";
        file += "<m:pstr_SignType>elec</m:pstr_SignType>\n<m:pstr_EmailMessage>" +
                Base64Encode(message) + "</m:pstr_EmailMessage>\n</m:CreateSignatureRequest>" +
                kEnvelopeClose;
        for (const Document& document : documents) {
            file += kEnvelopeOpen + "<m:AddDocumentToRequest" + kNamespace +
                    "><m:pstr_APICode>QUILLET-DEMO-0001</m:pstr_APICode>\n"
                    "<m:pstr_FileID>" +
                    fileId + "</m:pstr_FileID>\n";
            if (!document.bytes.empty())
                file += "<m:pbyt_File>" + Base64Encode(document.bytes) + "</m:pbyt_File>\n";
            if (!document.name.empty()) {
                file += "<m:pstr_FileName>" + Escaped(document.name) +
                        "</m:pstr_FileName>\n<m:pstr_Title>" + Escaped(document.name) +
                        "</m:pstr_Title>\n";
            }
            file += "</m:AddDocumentToRequest>" + kEnvelopeClose;
        }
        if (results) {
            file += "<Results><FileID>" + fileId + "</FileID>";
            if (!link.empty())
                file += "<Link>" + Escaped(link) + "</Link>";
            if (!receiptSubject.empty())
                file += "<ReceiptSubject>" + Escaped(receiptSubject) + "</ReceiptSubject>";
            file += "<ReceiptCategory>" + Escaped(category) + "</ReceiptCategory></Results>";
        }
        return file + "</inkReceipt>\n";
    }

    static std::string Escaped(const std::string& text)
    {
        std::string escaped;
        for (char c : text) {
            if (c == '&')
                escaped += "&amp;";
            else if (c == '<')
                escaped += "&lt;";
            else
                escaped += c;
        }
        return escaped;
    }
};

// Every byte value, so that a document decoded twice, cut or mixed up shows.
std::string Bytes(size_t length, int seed)
{
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i * 7 + static_cast<size_t>(seed)) & 0xff);
    return bytes;
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow += static_cast<char>(c);
    return narrow;
}

std::string Read(CItem& item, const wchar_t* member)
{
    CVariant value;
    CString text;
    if (FAILED(CDispatcher::GetProp(item.Dispatch(), member, value.Put())) || !value.ToString(text))
        return "<unreadable>";
    return text.str();
}

std::string UserProperty(CItem& item, const wchar_t* name)
{
    CUserProperty* property = item.UserProperties().Find(name);
    return property ? Narrow(property->Text()) : "<none>";
}

// A progress dialog that notes what it shows after each of its steps.
class CWatchedDlgReceipts : public CDlgReceipts {
public:
    using CDlgReceipts::CDlgReceipts;

    std::vector<std::pair<int, std::string>> shown; // progress, status

protected:
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        const BOOL handled = CDlgReceipts::OnMessage(message, wParam, lParam, result);
        if (message == kStepMessage) {
            char status[128] = {};
            GetDlgItemTextA(GetSafeHwnd(), IDC_RECEIPTS_STATUS, status, sizeof status);
            const int progress = static_cast<int>(
                SendDlgItemMessageA(GetSafeHwnd(), IDC_RECEIPTS_PROGRESS, PBM_GETPOS, 0, 0));
            shown.emplace_back(progress, status);
        }
        return handled;
    }
};

class ReceiptImportTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        CallLog().Clear();
        CallLog().ClearInjections();
        CString receipts;
        CString sentItems;
        ASSERT_EQ(S_OK, GetReceiptsFolder(receipts));
        ASSERT_EQ(S_OK, GetSentItemsFolder(sentItems));
        m_receipts = receipts.str() + "\\";
        m_receiptsGuard.emplace(m_receipts, TempDir() + "receipts-aside\\", true);
        m_sentItems = sentItems.str() + "\\";
        m_sentGuard.emplace(m_sentItems, TempDir() + "sent-aside\\", false);
        m_app = New<CApplication>();
        m_tasks = m_app->Mailbox().DefaultFolder(kFolderTasks);
        ASSERT_NE(nullptr, m_tasks);
        m_explorer = &m_app->OpenExplorer(m_tasks);
    }

    void TearDown() override
    {
        if (m_app)
            m_app->Quit();
        m_app = nullptr;
        m_receiptsGuard.reset();
        m_sentGuard.reset();
        // The markers of the files this test left set aside go with them.
        const std::string markers = m_receipts + "Set Aside\\";
        for (const std::string& name : ListFiles(markers))
            DeleteFileA((markers + name).c_str());
        RemoveDirectoryA(markers.c_str());
        CleanProfileTest::TearDown();
    }

    void File(const std::string& name, const std::string& text)
    {
        WriteFileBytes(m_receipts + name, text);
    }

    std::map<std::string, CItem*> TasksBySubject()
    {
        std::map<std::string, CItem*> tasks;
        for (size_t i = 0; i < m_tasks->Items().Count(); ++i) {
            CItem* task = m_tasks->Items().At(i);
            tasks[Narrow(task->Subject())] = task;
        }
        return tasks;
    }

    // Imports with a watch on the dialog: it must need nobody.
    HRESULT Import()
    {
        CScriptedUser user;
        user.Start();
        const HRESULT hr = CReceiptMgr::Import(m_app->Dispatch());
        user.Stop();
        EXPECT_FALSE(user.Failed()) << user.Report();
        EXPECT_EQ(0, user.DialogsClosed());
        return hr;
    }

    // A receipt task made before the import, as an earlier import leaves it.
    void AddTask(const std::string& subject, const std::string& requestId)
    {
        CComPtr<CItem> task = m_app->Mailbox().CreateItem(kItemTypeTask);
        task->SetSubject(std::wstring(subject.begin(), subject.end()));
        task->UserProperties()
            .Add(L"Quillet ID", kPropText)
            .SetText(std::wstring(requestId.begin(), requestId.end()));
        task->Save();
    }

    std::string m_receipts;
    std::string m_sentItems;
    std::optional<CFolderGuard> m_receiptsGuard;
    std::optional<CFolderGuard> m_sentGuard;
    CComPtr<CApplication> m_app;
    CFolder* m_tasks = nullptr;
    CExplorer* m_explorer = nullptr;
};

} // namespace

TEST_F(ReceiptImportTest, ReceiptFilesBecomeTasksWithTheSentMailRebuilt)
{
    struct Case {
        const char* file;
        Receipt receipt;
        std::string taskSubject;
        std::string category;
        std::vector<Document> attached; // in the mail's order
        std::string to;
    };
    const Document contract{"contract.pdf", Bytes(5000, 1)};
    const Document terms{"terms & conditions.docx", Bytes(300, 2)};
    const Document offer{"offer.pdf", Bytes(700, 3)};
    std::vector<Case> cases;
    {
        Case c{"complete.xml",    {},
               "Quillet Receipt", "Contracts",
               {contract, terms}, "ann@example.com; bob@example.com; carol@example.com"};
        c.receipt.documents = {contract, terms};
        cases.push_back(c);
    }
    {
        // A document without its bytes and bytes without their name are
        // left out; the others keep their own names and bytes.
        Case c{"without-link.xml", {},
               "Offer review",     "Contracts",
               {contract, offer},  "ann@example.com; bob@example.com; carol@example.com"};
        c.receipt.link = "";
        c.receipt.fileId = "QF1002";
        c.receipt.receiptSubject = "Offer review";
        c.receipt.documents = {
            contract, {"lost.pdf", ""}, {"", Bytes(90, 4)}, {"lost too.pdf", ""}, offer};
        cases.push_back(c);
    }
    {
        Case c{"without-subject.xml",
               {},
               "Offer 12",
               "Quillet",
               {offer},
               "ann@example.com; bob@example.com; carol@example.com"};
        c.receipt.subject = "Offer 12";
        c.receipt.fileId = "QF1003";
        c.receipt.receiptSubject = "";
        c.receipt.category = "";
        c.receipt.documents = {offer};
        cases.push_back(c);
    }
    {
        Case c{"placeholder.xml", {},      "[ann@example.com] Signer agreement",
               "Contracts",       {terms}, "ann@example.com"};
        c.receipt.signers = "ann@example.com";
        c.receipt.secondSigners = "";
        c.receipt.fileId = "QF1004";
        c.receipt.receiptSubject = "[Signer] Signer agreement";
        c.receipt.documents = {terms};
        cases.push_back(c);
    }
    for (const Case& c : cases)
        File(c.file, c.receipt.File());
    const std::string malformed = "<?xml version=\"1.0\" ?><inkReceipt><Results><FileID>QF9";
    File("malformed.xml", malformed);

    EXPECT_HR(S_OK, Import());

    EXPECT_EQ(std::vector<std::string>{"malformed.xml"}, ListFiles(m_receipts))
        << "each file goes with its saved task; the one that does not read stays";
    EXPECT_EQ(malformed, ReadFileBytes(m_receipts + "malformed.xml"));
    EXPECT_TRUE(QuillFiles(TempDir()).empty()) << "no document file is left behind";
    auto tasks = TasksBySubject();
    ASSERT_EQ(cases.size(), tasks.size());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_EQ(1u, tasks.count(c.taskSubject));
        CItem& task = *tasks[c.taskSubject];
        EXPECT_TRUE(task.Saved());
        EXPECT_EQ(c.receipt.fileId, UserProperty(task, L"Quillet ID"));
        EXPECT_EQ(c.receipt.signers, UserProperty(task, L"eSigners"));
        EXPECT_EQ(c.category, Narrow(task.Text(L"Categories")));
        EXPECT_EQ(1, task.Long(L"Status"));
        EXPECT_EQ("IPM.Task.Quillet", Narrow(task.MessageClass()));
        const std::string body = Narrow(task.Body());
        if (c.receipt.link.empty()) {
            EXPECT_EQ("<none>", UserProperty(task, L"Quillet URL"));
            EXPECT_EQ("", body);
        } else {
            EXPECT_EQ(c.receipt.link, UserProperty(task, L"Quillet URL"));
            EXPECT_NE(std::string::npos, body.find("(" + c.receipt.link + ")")) << body;
        }

        ASSERT_EQ(1u, task.Attachments().Count()) << "the sent mail, embedded";
        CAttachment& embedded = *task.Attachments().At(0);
        EXPECT_EQ(kAttachEmbeddedItem, embedded.Type());
        EXPECT_EQ(static_cast<long>(body.size()) + 1, embedded.Position()) << "after the body";
        CComPtr<CItem> mail = embedded.EmbeddedItem();
        ASSERT_TRUE(mail);
        EXPECT_EQ(c.receipt.subject, Narrow(mail->Subject()));
        EXPECT_EQ(c.receipt.message, Narrow(mail->Body())) << "the message decoded once";
        EXPECT_EQ(c.to, Read(*mail, L"To"));
        EXPECT_EQ(c.receipt.ccs, Read(*mail, L"CC"));
        ASSERT_EQ(c.attached.size(), mail->Attachments().Count());
        for (size_t i = 0; i < c.attached.size(); ++i) {
            CAttachment& document = *mail->Attachments().At(i);
            EXPECT_EQ(c.attached[i].name, Narrow(document.DisplayName()));
            EXPECT_EQ(kAttachByValue, document.Type());
            EXPECT_TRUE(document.Bytes() == c.attached[i].bytes)
                << c.attached[i].name << ": the bytes, decoded once";
        }
    }
}

TEST_F(ReceiptImportTest, TheDialogCountsToDone)
{
    const std::string folder = TempDir() + "three";
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* name : {"1.xml", "2.xml", "3.xml"}) {
        Receipt receipt;
        receipt.fileId = name;
        receipt.receiptSubject = std::string("Receipt ") + name;
        receipt.documents = {{"contract.pdf", Bytes(40, 5)}};
        WriteFileBytes(folder + "\\" + name, receipt.File());
    }
    CReceiptMgr manager(m_app->Dispatch());
    ASSERT_TRUE(manager.LoadReceipts(folder.c_str()));
    ASSERT_EQ(3u, manager.Receipts().size());

    CWatchedDlgReceipts dialog(&manager);
    CScriptedUser user;
    user.Start();
    EXPECT_EQ(IDOK, dialog.DoModal());
    user.Stop();

    EXPECT_FALSE(user.Failed()) << user.Report();
    const std::vector<std::pair<int, std::string>> expected = {{33, "Importing Task Receipts..."},
                                                               {66, "Importing Task Receipts..."},
                                                               {100, "Importing Task Receipts..."},
                                                               {100, "Done"}};
    EXPECT_EQ(expected, dialog.shown);
    EXPECT_EQ(3u, m_tasks->Items().Count());
    EXPECT_TRUE(ListFiles(folder + "\\").empty());
}

// A receipt whose task cannot be made is set aside: the imports after it
// neither open the dialog for it nor leave one more mail copy per try, until
// the file changes; then it is tried again.
TEST_F(ReceiptImportTest, AReceiptWhoseTaskIsNotMadeIsSetAsideUntilItChanges)
{
    struct Case {
        const wchar_t* kind;
        const wchar_t* member;
    };
    const Case cases[] = {{L"MailItem", L"SaveAs"}, {L"TaskItem", L"Save"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(std::wstring(c.kind) + L"." + c.member));
        m_tasks->Items().Replace({});
        for (const char* name : {"first.xml", "second.xml"}) {
            Receipt receipt;
            receipt.fileId = name;
            receipt.receiptSubject = std::string("Receipt ") + name;
            receipt.documents = {{"contract.pdf", Bytes(40, 6)}};
            File(name, receipt.File());
        }
        CallLog().Inject(c.kind, c.member, E_FAIL, 1);

        EXPECT_HR(S_OK, Import());
        ASSERT_EQ(1u, ListFiles(m_receipts).size()) << "the other one went";
        const std::string left = ListFiles(m_receipts)[0];
        auto tasks = TasksBySubject();
        ASSERT_EQ(1u, tasks.size()) << "no half-made task is kept";
        EXPECT_EQ(0u, tasks.count("Receipt " + left));

        // It would fail every time: it is not tried again.
        CallLog().Inject(c.kind, c.member, E_FAIL, 100);
        const size_t copies = ListFiles(m_sentItems).size();
        for (int i = 0; i < 2; ++i) {
            EXPECT_HR(S_FALSE, Import()) << "no dialog for a receipt set aside";
            EXPECT_EQ(std::vector<std::string>{left}, ListFiles(m_receipts));
            EXPECT_EQ(copies, ListFiles(m_sentItems).size()) << "a mail copy per try";
        }
        CallLog().ClearInjections();
        EXPECT_HR(S_FALSE, Import()) << "unchanged, it stays aside";

        // The file changed: tried again, and made.
        File(left, ReadFileBytes(m_receipts + left) + "\n");
        EXPECT_HR(S_OK, Import());
        EXPECT_TRUE(ListFiles(m_receipts).empty());
        tasks = TasksBySubject();
        EXPECT_EQ(2u, tasks.size());
        EXPECT_EQ(1u, tasks.count("Receipt " + left));
    }
}

// A file that does not read is read once, not on every selection change,
// and read again once it was mended.
TEST_F(ReceiptImportTest, AFileThatDoesNotReadIsSetAsideUntilMended)
{
    auto occurrences = [](const std::string& text, const std::string& part) {
        size_t count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++count;
        return count;
    };
    LogCapture log;
    File("broken.xml", "<?xml version=\"1.0\" ?><inkReceipt><Results><FileID>QF9");
    EXPECT_HR(S_FALSE, Import());
    const size_t reads = occurrences(log.Text(), "CSAXReceipt::ReadFile");
    EXPECT_GT(reads, 0u);
    EXPECT_HR(S_FALSE, Import());
    EXPECT_HR(S_FALSE, Import());
    EXPECT_EQ(reads, occurrences(log.Text(), "CSAXReceipt::ReadFile")) << "read again";
    EXPECT_EQ(1u, occurrences(log.Text(), "broken.xml does not read; it is set aside"))
        << "said once";
    EXPECT_EQ(std::vector<std::string>{"broken.xml"}, ListFiles(m_receipts)) << "nothing lost";

    Receipt mended;
    mended.fileId = "QF9";
    mended.documents = {{"contract.pdf", Bytes(40, 8)}};
    File("broken.xml", mended.File());
    EXPECT_HR(S_OK, Import());
    EXPECT_TRUE(ListFiles(m_receipts).empty());
    ASSERT_EQ(1u, m_tasks->Items().Count());
    EXPECT_EQ("QF9", UserProperty(*m_tasks->Items().At(0), L"Quillet ID"));
}

// One request, one task: however many receipt files tell of a request, and
// whether or not a file could be deleted after its task was saved.
TEST_F(ReceiptImportTest, ARequestGetsOneTaskWhateverItsFiles)
{
    struct Case {
        const char* name;
        bool taskExists = false; // a task of the request is there before
        int files = 1;           // receipt files of the request
        bool heldOpen = false;   // another program holds the first file open
    };
    const Case cases[] = {
        {.name = "TheRequestHasItsTaskAlready", .taskExists = true},
        {.name = "TwoFilesOfOneRequest", .files = 2},
        {.name = "AFileThatCannotBeDeleted", .heldOpen = true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_tasks->Items().Replace({});
        const std::string fileId = std::string("QF-") + c.name;
        if (c.taskExists)
            AddTask("Made before", fileId);
        for (int i = 0; i < c.files; ++i) {
            Receipt receipt;
            receipt.fileId = fileId;
            receipt.receiptSubject = "Receipt " + std::to_string(i);
            receipt.documents = {{"contract.pdf", Bytes(40, 9)}};
            File(std::to_string(i) + ".xml", receipt.File());
        }
        CFileHandle held;
        if (c.heldOpen) {
            held.Reset(CreateFileA((m_receipts + "0.xml").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(held.IsValid());
        }

        EXPECT_HR(S_OK, Import());
        EXPECT_HR(S_FALSE, Import()) << "nothing left to import";
        held.Reset();
        EXPECT_HR(S_FALSE, Import()) << "a file whose task is there is only deleted";

        EXPECT_EQ(1u, m_tasks->Items().Count());
        for (size_t i = 0; i < m_tasks->Items().Count(); ++i)
            EXPECT_EQ(fileId, UserProperty(*m_tasks->Items().At(i), L"Quillet ID"));
        EXPECT_TRUE(ListFiles(m_receipts).empty()) << "every file of the request went";
    }
}

TEST_F(ReceiptImportTest, ASelectionChangeDuringTheImportStartsNoSecondOne)
{
    // The explorer's selection changes start the import once the event has
    // returned, as the add-in's explorer sink does; the first task saved
    // changes the selection again.
    int imports = 0;
    CTestEventSink explorerSink(kExplorerEvents, [&](DISPID id, DISPPARAMS&) {
        if (id == kDispSelectionChange)
            ThePostedWork().Post([&] {
                if (CReceiptMgr::Import(m_app->Dispatch()) == S_OK)
                    ++imports;
            });
    });
    bool changed = false;
    CTestEventSink tasksSink(kItemsEvents, [&](DISPID id, DISPPARAMS&) {
        if (id == kDispItemAdd && !changed) {
            changed = true;
            m_explorer->Select({});
        }
    });
    CComPtr<IConnectionPointContainer> explorerPoints;
    CComPtr<IConnectionPointContainer> itemsPoints;
    ASSERT_HR(S_OK, m_explorer->Dispatch()->QueryInterface(IID_IConnectionPointContainer,
                                                           explorerPoints.PutVoid()));
    ASSERT_HR(S_OK, m_tasks->Items().Dispatch()->QueryInterface(IID_IConnectionPointContainer,
                                                                itemsPoints.PutVoid()));
    CComPtr<IConnectionPoint> explorerPoint;
    CComPtr<IConnectionPoint> itemsPoint;
    ASSERT_HR(S_OK, explorerPoints->FindConnectionPoint(kExplorerEvents, explorerPoint.Put()));
    ASSERT_HR(S_OK, itemsPoints->FindConnectionPoint(kItemsEvents, itemsPoint.Put()));
    DWORD explorerCookie = 0;
    DWORD itemsCookie = 0;
    ASSERT_HR(S_OK, explorerPoint->Advise(&explorerSink, &explorerCookie));
    ASSERT_HR(S_OK, itemsPoint->Advise(&tasksSink, &itemsCookie));
    for (const char* name : {"a.xml", "b.xml", "c.xml"}) {
        Receipt receipt;
        receipt.fileId = name;
        receipt.receiptSubject = std::string("Receipt ") + name;
        receipt.documents = {{"contract.pdf", Bytes(40, 7)}};
        File(name, receipt.File());
    }

    CScriptedUser user;
    user.Start();
    m_explorer->Select({});
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    user.Stop();
    explorerPoint->Unadvise(explorerCookie);
    itemsPoint->Unadvise(itemsCookie);

    EXPECT_FALSE(user.Failed()) << user.Report();
    EXPECT_TRUE(changed) << "the selection did change during the import";
    EXPECT_EQ(1, imports);
    EXPECT_EQ(3u, m_tasks->Items().Count()) << "every receipt once";
    EXPECT_TRUE(ListFiles(m_receipts).empty());
}
