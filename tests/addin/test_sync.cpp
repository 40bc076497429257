// The sync command against the stand-in service and the Outlook stand-in:
// each receipt task gets its request's status, a fully signed one its signed
// copy, in one pass and not twice; an item that fails (a fault, a task gone,
// a copy that does not decode) ends failed while the others go on; the
// dialog shows each item's row, closes by itself with its details hidden
// and otherwise waits with a "Close" button.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "addin/core/AddinProtocol.h"
#include "addin/AddinResource.h"
#include "addin/sync/DlgSync.h"
#include "classlib/com/HResult.h"
#include "addin/sync/SyncBtn.h"
#include "addin/sync/SyncItem.h"
#include "shared/config/Config.h"
#include "shared/service/ServiceGlobals.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Attachments.h"
#include "standins/outlook/model/Explorer.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/NameSpace.h"
#include "standins/outlook/model/UserProperties.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/support/HResultText.h"
#include "tests/support/ServiceTest.h"
#include "tests/support/SoapCallOp.h"
#include "tests/support/TestBase64.h"
#include "tests/support/UploadOp.h"

using namespace standin;
using namespace testenv;

namespace {

constexpr char kAddress[] = "127.0.0.16";
// The service of the tests of the sync on a hostile or heavy wire.
constexpr char kWireAddress[] = "127.0.4.1";
constexpr const char* kCaption = "Synchronizing with Quillet";
const std::vector<std::string> kThreeSigners = {"a@example.com", "b@example.com", "c@example.com"};

// One row of the dialog's list as the user sees it.
struct RowSeen {
    std::string action;
    std::string subject;
    std::string dueDate;
    int image = -1;
};

// What the dialog showed once the sync had ended.
struct SyncSeen {
    std::vector<RowSeen> rows;
    std::string status;
    std::string cancelText;
    std::string detailsText;
    bool listVisible = false;
    int progress = -1;
    int progressMax = -1;
};

std::string TextOf(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

SyncSeen Snapshot(HWND dialog)
{
    SyncSeen seen;
    CListCtrl list(GetDlgItem(dialog, IDC_SYNC_LIST));
    for (int row = 0; row < list.GetItemCount(); ++row) {
        RowSeen shown;
        shown.action = list.GetItemText(row, 0).str();
        shown.subject = list.GetItemText(row, 1).str();
        shown.dueDate = list.GetItemText(row, 2).str();
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        if (list.SendMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
            shown.image = item.iImage;
        seen.rows.push_back(shown);
    }
    seen.status = TextOf(GetDlgItem(dialog, IDC_SYNC_STATUS));
    seen.cancelText = TextOf(GetDlgItem(dialog, IDCANCEL));
    seen.detailsText = TextOf(GetDlgItem(dialog, IDC_SYNC_DETAILS));
    seen.listVisible = IsWindowVisible(GetDlgItem(dialog, IDC_SYNC_LIST)) != FALSE;
    CProgressCtrl progress(GetDlgItem(dialog, IDC_SYNC_PROGRESS));
    int lower = 0;
    progress.GetRange(lower, seen.progressMax);
    seen.progress = progress.GetPos();
    return seen;
}

const RowSeen* FindRow(const SyncSeen& seen, const std::string& subject)
{
    for (const RowSeen& row : seen.rows) {
        if (row.subject == subject)
            return &row;
    }
    return nullptr;
}

// A sync dialog that does something of the test's own once it has loaded
// its items, before any of them is worked on.
class CProbeDlgSync : public CDlgSync {
public:
    CProbeDlgSync(CWebSvrAPI* api, std::function<void()> afterLoad)
        : CDlgSync(api), m_afterLoad(std::move(afterLoad))
    {}

protected:
    BOOL OnInitDialog() override
    {
        const BOOL result = CDlgSync::OnInitDialog();
        m_afterLoad();
        return result;
    }

private:
    std::function<void()> m_afterLoad;
};

// The per-item worker alone, without a dialog and its rows.
class CLoneWorker : public CPushPull {
public:
    CLoneWorker() : CPushPull(nullptr) {}
    int AddItemRow(CSyncItem&) override { return -1; }
};

template <const char* Address>
class SyncTestOn : public ServiceTestOn<Address> {
protected:
    using Base = ServiceTestOn<Address>;
    using Base::Demo;
    using Base::m_protocol;
    using Base::m_url;
    using Base::Service;
    using Base::TempDir;

    void SetUp() override
    {
        Base::SetUp();
        CallLog().Clear();
        CallLog().ClearInjections();
        // The add-in's own protocol object, made by the command, asks for
        // the stored credentials.
        ServiceGlobals().protocol = nullptr;
        ASSERT_EQ(S_OK, CConfig().SetCredentials(Demo()));
        // The details shown, so the dialog waits to be read and closed.
        WriteDword(kProductKey, "SyncSize", 0);
        m_app = New<CApplication>();
        m_tasks = m_app->Mailbox().DefaultFolder(kFolderTasks);
        ASSERT_NE(nullptr, m_tasks);
        m_explorer = &m_app->OpenExplorer(m_tasks);
        m_button.SetApplication(m_app->Dispatch());
    }

    void TearDown() override
    {
        ReleaseAddinProtocol();
        if (m_app)
            m_app->Quit();
        m_app = nullptr;
        Base::TearDown();
    }

    // A request of the demo account with these signers and one document;
    // its file ID.
    std::string CreateRequest(const std::vector<std::string>& signers)
    {
        std::string joined;
        for (const std::string& signer : signers)
            joined += (joined.empty() ? "" : ",") + signer;
        SoapCallOp create(m_url, "CreateSignatureRequest",
                          SoapCallOp::CreateRequestElements(joined, "Contract"));
        EXPECT_EQ(1, create.Run(nullptr, 0, CWebSvrOp::kPrepare)) << create.GetErrorText();
        const std::string fileId = create.m_result.str();
        const std::string document = TempDir() + "document.pdf";
        WriteFileBytes(document, Pdf("unsigned " + fileId));
        UploadOp upload(m_url, fileId, document);
        EXPECT_EQ(1, upload.Run(nullptr, 0, CWebSvrOp::kPrepare)) << upload.GetErrorText();
        return fileId;
    }

    // A receipt task in the Tasks folder, as the send road leaves it.
    CItem& AddTask(const std::wstring& subject, const std::string& requestId,
                   const std::wstring& signedCopy = L"")
    {
        CComPtr<CItem> task = m_app->Mailbox().CreateItem(kItemTypeTask);
        task->SetSubject(subject);
        if (!requestId.empty())
            task->UserProperties().Add(L"Quillet ID", kPropText).SetText(Wide(requestId));
        if (!signedCopy.empty())
            task->UserProperties().Add(L"Quillet PDF", kPropText).SetText(signedCopy);
        task->Save();
        return *task;
    }

    // A PDF document as the service keeps one: its header, the text, its
    // end mark.
    static std::string Pdf(const std::string& text) { return "%PDF-1.4 " + text + "\r\n%%EOF\r\n"; }

    static std::wstring Wide(const std::string& text)
    {
        return std::wstring(text.begin(), text.end());
    }

    static std::wstring UserProperty(CItem& item, const wchar_t* name)
    {
        CUserProperty* property = item.UserProperties().Find(name);
        return property ? property->Text() : L"<none>";
    }

    // Clicks the sync button with a user who waits for the sync to end,
    // notes what the dialog shows and closes it.
    SyncSeen SyncAndClose(HRESULT expected = S_OK)
    {
        return RunAndClose([&] { EXPECT_HR(expected, m_button.OnClick()); });
    }

    SyncSeen RunAndClose(const std::function<void()>& body)
    {
        SyncSeen seen;
        CScriptedUser::Limits limits;
        limits.stepMs = 30000;
        CScriptedUser user(limits);
        user.Expect(kCaption)
            .Do("wait for the sync's end",
                [&](HWND dialog) {
                    if (TextOf(GetDlgItem(dialog, IDCANCEL)) != "Close")
                        return false;
                    seen = Snapshot(dialog);
                    return true;
                })
            .Click(IDCANCEL);
        user.Start();
        body();
        user.Stop();
        EXPECT_TRUE(user.Finished()) << user.Report();
        return seen;
    }

    size_t Count(const std::vector<standin::Request>& requests, const char* method)
    {
        size_t count = 0;
        for (const standin::Request& request : requests)
            count += request.soapMethod == method;
        return count;
    }

    CComPtr<CApplication> m_app;
    CFolder* m_tasks = nullptr;
    CExplorer* m_explorer = nullptr;
    CSyncBtn m_button;
};

class SyncTest : public SyncTestOn<kAddress> {};
class SyncWireTest : public SyncTestOn<kWireAddress> {};

} // namespace

TEST_F(SyncTest, EveryTaskGetsItsStatusAndAFullySignedOneItsCopyOnce)
{
    struct Case {
        const wchar_t* subject;
        int signedCount;           // of three signers; -1: no request ID
        const wchar_t* signedCopy; // "Quillet PDF" before the sync
        int percent;
        bool complete;
        long status;
        bool copyAttached;
    };
    const Case cases[] = {
        {L"None signed", 0, L"", 0, false, 1, false},
        {L"Two of three", 2, L"", 66, false, 1, false},
        {L"All signed", 3, L"", 100, true, 2, true},
        {L"Copy already there", 3, L"C:\\earlier.pdf", 100, true, 2, false},
        {L"No request ID", -1, L"", 0, false, 0, false},
    };
    static const char kSigned[] = "signed\r\n\x00\xff\x80 end ";
    const std::string signedText(kSigned, sizeof kSigned - 1);
    std::vector<CItem*> tasks;
    std::vector<std::string> fileIds;
    for (const Case& c : cases) {
        std::string fileId;
        if (c.signedCount >= 0) {
            fileId = CreateRequest(kThreeSigners);
            for (int i = 0; i < c.signedCount; ++i)
                ASSERT_TRUE(Service().SetSigned(fileId, kThreeSigners[i]));
            ASSERT_TRUE(Service().SetSignedPdf(fileId, "", Pdf(signedText + fileId)));
        }
        fileIds.push_back(fileId);
        tasks.push_back(&AddTask(c.subject, fileId, c.signedCopy));
    }
    tasks.back()->SetLong(L"Status", 0);
    tasks.back()->Save();
    Service().Control("clear-requests");

    // Nothing selected: every task of the folder that has a request.
    const std::vector<std::string> before = ListFiles(TempDir());
    const SyncSeen seen = SyncAndClose();
    EXPECT_EQ(before, ListFiles(TempDir())) << "the signed copy stayed in the temporary folder";

    EXPECT_EQ("Synchronization is Complete", seen.status);
    EXPECT_EQ("Close", seen.cancelText);
    EXPECT_EQ(4, seen.progressMax);
    EXPECT_EQ(4, seen.progress);
    ASSERT_EQ(4u, seen.rows.size()) << "the task without a request has no row";
    const auto requests = Service().Requests();
    EXPECT_EQ(4u, Count(requests, "GetFileStatus"));
    EXPECT_EQ(1u, Count(requests, "DownloadSignedDocument")) << "only the one without a copy";
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(std::string(c.subject, c.subject + wcslen(c.subject)));
        CItem& task = *tasks[i];
        const std::string subject(c.subject, c.subject + wcslen(c.subject));
        const RowSeen* row = FindRow(seen, subject);
        if (c.signedCount < 0) {
            EXPECT_EQ(nullptr, row);
            EXPECT_EQ(0, task.Long(L"Status")) << "untouched";
            continue;
        }
        ASSERT_NE(nullptr, row);
        EXPECT_EQ("Task Updated", row->action);
        EXPECT_EQ(CSyncItem::kUpdated, row->image);
        EXPECT_EQ("", row->dueDate) << "Outlook's no date shows empty";
        EXPECT_EQ(c.percent, task.Long(L"PercentComplete"));
        EXPECT_EQ(c.complete, task.Bool(L"Complete"));
        EXPECT_EQ(c.status, task.Long(L"Status"));
        EXPECT_TRUE(task.Saved());
        CAttachment* copy = nullptr;
        for (size_t a = 0; a < task.Attachments().Count(); ++a) {
            if (task.Attachments().At(a)->DisplayName() == L"Signed Copy")
                copy = task.Attachments().At(a);
        }
        if (c.copyAttached) {
            ASSERT_NE(nullptr, copy);
            EXPECT_EQ(kAttachByValue, copy->Type());
            EXPECT_TRUE(copy->Bytes() == Pdf(signedText + fileIds[i]))
                << "the signed bytes, decoded once";
            const std::wstring recorded = UserProperty(task, L"Quillet PDF");
            EXPECT_NE(std::wstring::npos, recorded.find(L"Signed Copy ")) << "the copy's path";
            EXPECT_EQ(L".pdf", recorded.substr(recorded.size() - 4));
        } else {
            EXPECT_EQ(nullptr, copy);
            EXPECT_EQ(c.signedCopy[0] ? std::wstring(c.signedCopy) : L"<none>",
                      UserProperty(task, L"Quillet PDF"));
        }
    }

    // Once the copy is there, a sync asks for the status again and nothing more.
    Service().Control("clear-requests");
    const size_t attachments = tasks[2]->Attachments().Count();
    SyncAndClose();
    const auto again = Service().Requests();
    EXPECT_EQ(4u, Count(again, "GetFileStatus"));
    EXPECT_EQ(0u, Count(again, "DownloadSignedDocument"));
    EXPECT_EQ(attachments, tasks[2]->Attachments().Count());
}

TEST_F(SyncTest, AFailingItemEndsFailedAndTheOthersGoOn)
{
    struct Case {
        const char* name;
        // Queued before the sync; the three tasks' requests are all signed.
        std::function<void(CStandInService&)> arrange;
        // Which of the three (in the order they are worked on) fails.
        int failing;
        bool statusWritten; // the failing task still got its status
        const char* action; // what the failing row says
        bool detailsHidden = false;
    };
    const Case cases[] = {
        {"FaultOnTheMiddleStatus",
         [](CStandInService& service) {
             ASSERT_TRUE(service.FailNext(standin::kind::Slow, 1, "GetFileStatus"));
             ASSERT_TRUE(service.FailNext(standin::kind::Fault, 1, "GetFileStatus",
                                          "\"faultstring\": \"Server busy\""));
         },
         1, false, "Failed: Server busy"},
        {"CopyThatDoesNotDecode",
         [](CStandInService& service) {
             ASSERT_TRUE(service.FailNext(standin::kind::Result, 1, "DownloadSignedDocument",
                                          "\"text\": \"*** not base64 ***\""));
         },
         0, true, "Failed: The signature service's answer holds no signed copy that can be read."},
        // With its details hidden the dialog would close by itself when
        // done: with a failure it stays, so the user learns of it.
        {"AnswerTooLargeWithTheDetailsHidden",
         [](CStandInService& service) {
             ASSERT_TRUE(
                 service.FailNext(standin::kind::Padded, 1, "GetFileStatus", "\"size\": 17000000"));
         },
         0, false,
         "Failed: The signature service's answer is larger than the 16777216 bytes this "
         "operation accepts, and was not read.",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Service().Reset());
        m_tasks->Items().Replace({});
        WriteDword(kProductKey, "SyncSize", c.detailsHidden ? 1 : 0);
        std::vector<CItem*> tasks;
        for (const wchar_t* subject : {L"First", L"Second", L"Third"}) {
            const std::string fileId = CreateRequest({"a@example.com"});
            ASSERT_TRUE(Service().SetSigned(fileId));
            tasks.push_back(&AddTask(subject, fileId));
        }
        c.arrange(Service());

        const SyncSeen seen = SyncAndClose();

        ASSERT_EQ(3u, seen.rows.size());
        EXPECT_EQ("1 of 3 could not be synchronized", seen.status);
        EXPECT_EQ("Close", seen.cancelText);
        // Rows are worked on from the top; the newest row is the top one.
        const std::vector<CItem*> inWorkOrder = {tasks[2], tasks[1], tasks[0]};
        for (int i = 0; i < 3; ++i) {
            CItem& task = *inWorkOrder[i];
            const std::wstring wide = task.Subject();
            const std::string subject(wide.begin(), wide.end());
            SCOPED_TRACE(subject);
            ASSERT_EQ(subject, seen.rows[i].subject);
            const bool failing = i == c.failing;
            EXPECT_EQ(failing ? CSyncItem::kFailed : CSyncItem::kUpdated, seen.rows[i].image);
            EXPECT_EQ(failing ? c.action : "Task Updated", seen.rows[i].action);
            const bool statusWritten = !failing || c.statusWritten;
            EXPECT_EQ(statusWritten, task.Bool(L"Complete"));
            EXPECT_EQ(statusWritten ? 100 : 0, task.Long(L"PercentComplete"));
            if (failing)
                EXPECT_EQ(L"<none>", UserProperty(task, L"Quillet PDF")) << "tried again next time";
            else
                EXPECT_NE(L"<none>", UserProperty(task, L"Quillet PDF"));
            EXPECT_EQ(failing ? 0u : 1u, task.Attachments().Count()) << "the signed copy";
        }
    }
}

// A signed copy that arrived cut short is no signed copy: the task does not
// take it, keeps no "Quillet PDF", nothing of it stays in the temporary
// folder, and the next sync fetches it again, whole.
TEST_F(SyncTest, ACutSignedCopyIsRefusedAndFetchedAgain)
{
    const std::string whole = Pdf("signed " + std::string(300, 'x'));
    const std::string base64 = Base64Encode(whole);
    struct Case {
        const char* name;
        std::string answer; // the base64 the service answers with once
        const char* action; // what the failing row says
    };
    const Case cases[] = {
        {"CutOnAGroupBoundary", base64.substr(0, base64.size() / 8 * 4),
         "Failed: The signed copy could not be attached to the task."},
        {"CutToLeaveOneCharacterOver", base64.substr(0, base64.size() / 8 * 4 + 1),
         "Failed: The signature service's answer holds no signed copy that can be read."},
        {"WithoutItsEndMark", Base64Encode(whole.substr(0, whole.size() - 7)),
         "Failed: The signed copy could not be attached to the task."},
        {"NoPdfAtAll", Base64Encode(std::string(300, 'x') + "\r\n%%EOF\r\n"),
         "Failed: The signed copy could not be attached to the task."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Service().Reset());
        m_tasks->Items().Replace({});
        const std::string fileId = CreateRequest({"a@example.com"});
        ASSERT_TRUE(Service().SetSigned(fileId));
        ASSERT_TRUE(Service().SetSignedPdf(fileId, "", whole));
        CItem& task = AddTask(L"Cut", fileId);
        ASSERT_TRUE(Service().FailNext(standin::kind::Result, 1, "DownloadSignedDocument",
                                       "\"text\": \"" + c.answer + "\""));
        const std::vector<std::string> before = ListFiles(TempDir());

        const SyncSeen cut = SyncAndClose();

        ASSERT_EQ(1u, cut.rows.size());
        EXPECT_EQ(c.action, cut.rows[0].action);
        EXPECT_EQ(CSyncItem::kFailed, cut.rows[0].image);
        EXPECT_EQ(0u, task.Attachments().Count());
        EXPECT_EQ(L"<none>", UserProperty(task, L"Quillet PDF"));
        EXPECT_EQ(before, ListFiles(TempDir())) << "the refused copy stayed behind";

        Service().Control("clear-requests");
        const SyncSeen again = SyncAndClose();

        ASSERT_EQ(1u, again.rows.size());
        EXPECT_EQ("Task Updated", again.rows[0].action);
        EXPECT_EQ(1u, Count(Service().Requests(), "DownloadSignedDocument"));
        ASSERT_EQ(1u, task.Attachments().Count());
        EXPECT_TRUE(task.Attachments().At(0)->Bytes() == whole);
        EXPECT_NE(L"<none>", UserProperty(task, L"Quillet PDF"));
        EXPECT_EQ(before, ListFiles(TempDir())) << "the attached copy stayed behind";
    }
}

TEST_F(SyncTest, ATaskGoneBeforeItsUpdateEndsFailed)
{
    CItem& kept = AddTask(L"Kept", CreateRequest({"a@example.com"}));
    CItem& gone = AddTask(L"Gone", CreateRequest({"a@example.com"}));
    ASSERT_EQ(S_OK, m_protocol.Connect(m_url));

    CProbeDlgSync dialog(ServiceGlobals().api, [&] {
        gone.Delete();
        gone.Delete(); // out of Deleted Items too: gone for good
    });
    ASSERT_HR(S_OK, dialog.LoadExplorer(m_app->Dispatch(), m_explorer->Dispatch()));
    dialog.m_credentials = Demo();
    const SyncSeen seen = RunAndClose([&] { dialog.DoModal(); });

    ASSERT_EQ(2u, seen.rows.size());
    const RowSeen* goneRow = FindRow(seen, "Gone");
    ASSERT_NE(nullptr, goneRow);
    EXPECT_EQ(CSyncItem::kFailed, goneRow->image);
    EXPECT_EQ("Failed: The task could not be updated in Outlook: it may have been moved or "
              "deleted.",
              goneRow->action);
    const RowSeen* keptRow = FindRow(seen, "Kept");
    ASSERT_NE(nullptr, keptRow);
    EXPECT_EQ(CSyncItem::kUpdated, keptRow->image);
    EXPECT_EQ(1, kept.Long(L"Status"));
    EXPECT_TRUE(kept.Saved());
    EXPECT_EQ("1 of 2 could not be synchronized", seen.status);
    EXPECT_EQ(2u, Count(Service().Requests(), "GetFileStatus")) << "the status was still asked";
}

TEST_F(SyncTest, ASelectionSyncsOnlyItsTasks)
{
    CItem& chosen = AddTask(L"Chosen", CreateRequest({"a@example.com", "b@example.com"}));
    CItem& other = AddTask(L"Other", CreateRequest({"a@example.com"}));
    CItem& plain = AddTask(L"Plain task", "");
    chosen.SetDate(L"DueDate", 46380.0); // 24 December 2026
    chosen.Save();
    Service().Control("clear-requests");
    m_explorer->Select({&chosen, &plain});

    SyncSeen seen = SyncAndClose();
    ASSERT_EQ(1u, seen.rows.size());
    EXPECT_EQ("Chosen", seen.rows[0].subject);
    EXPECT_EQ("12/24/2026", seen.rows[0].dueDate);
    EXPECT_EQ(1u, Count(Service().Requests(), "GetFileStatus"));
    EXPECT_EQ(0, other.Long(L"Status"));

    // A selection of no receipt task: nothing to do, and done at once.
    m_explorer->Select({&plain});
    seen = SyncAndClose();
    EXPECT_TRUE(seen.rows.empty());
    EXPECT_EQ("Synchronization is Complete", seen.status);
    EXPECT_EQ(100, seen.progress);
    EXPECT_EQ(100, seen.progressMax);
}

TEST_F(SyncTest, HiddenDetailsCloseTheDialogByItselfShownOnesWait)
{
    CItem& task = AddTask(L"Contract", CreateRequest({"a@example.com"}));

    // "SyncSize" 1: the details are hidden and the dialog goes when done.
    WriteDword(kProductKey, "SyncSize", 1);
    CScriptedUser user;
    user.Start();
    EXPECT_HR(S_OK, m_button.OnClick());
    user.Stop();
    EXPECT_FALSE(user.Failed()) << user.Report();
    EXPECT_EQ(0, user.DialogsClosed()) << "nobody had to close it";
    ASSERT_EQ(1u, user.Captions().size());
    EXPECT_EQ(kCaption, user.Captions()[0]);
    EXPECT_EQ(1, task.Long(L"Status")) << "the task was synchronised";
    EXPECT_EQ(1u, CConfig().GetSyncSize());

    // "SyncSize" 0: the details show and the dialog waits for the user.
    WriteDword(kProductKey, "SyncSize", 0);
    const SyncSeen seen = SyncAndClose();
    EXPECT_TRUE(seen.listVisible);
    EXPECT_EQ("<< Details", seen.detailsText);
    EXPECT_EQ("Close", seen.cancelText);
    ASSERT_EQ(1u, seen.rows.size());
    EXPECT_EQ(0u, CConfig().GetSyncSize()) << "kept as the user left it";

    // Hiding the details shortens the dialog, and it opens so next time.
    int shownHeight = 0;
    int hiddenHeight = 0;
    bool listHidden = false;
    std::string detailsText;
    auto height = [](HWND dialog) {
        RECT rect{};
        GetWindowRect(dialog, &rect);
        return static_cast<int>(rect.bottom - rect.top);
    };
    CScriptedUser hider;
    hider.Expect(kCaption)
        .Do("wait for the sync's end",
            [&](HWND dialog) {
                shownHeight = height(dialog);
                return TextOf(GetDlgItem(dialog, IDCANCEL)) == "Close";
            })
        .Click(IDC_SYNC_DETAILS)
        .Do("look at the dialog",
            [&](HWND dialog) {
                hiddenHeight = height(dialog);
                listHidden = !IsWindowVisible(GetDlgItem(dialog, IDC_SYNC_LIST));
                detailsText = TextOf(GetDlgItem(dialog, IDC_SYNC_DETAILS));
                return true;
            })
        .Click(IDCANCEL);
    hider.Start();
    EXPECT_HR(S_OK, m_button.OnClick());
    hider.Stop();
    EXPECT_TRUE(hider.Finished()) << hider.Report();
    EXPECT_TRUE(listHidden);
    EXPECT_EQ("Details >>", detailsText);
    EXPECT_LT(hiddenHeight, shownHeight);
    EXPECT_EQ(1u, CConfig().GetSyncSize());
}

TEST_F(SyncTest, TheCommandRunsInTaskAndContactFoldersOnlineAndNowhereElse)
{
    AddTask(L"Contract", CreateRequest({"a@example.com"}));
    Service().Control("clear-requests");

    // A mail folder: no dialog, no service call.
    m_explorer->SwitchTo(*m_app->Mailbox().DefaultFolder(kFolderInbox));
    CScriptedUser user;
    user.Start();
    EXPECT_HR(E_INVALIDARG, m_button.OnClick());
    user.Stop();
    EXPECT_TRUE(user.Captions().empty()) << user.Report();
    EXPECT_EQ(0u, Service().RequestCount());

    // A contacts folder: its items are listed and walked through, with
    // nothing to ask the service.
    CFolder& contacts = *m_app->Mailbox().DefaultFolder(kFolderContacts);
    CComPtr<CItem> contact = m_app->Mailbox().CreateItem(kItemTypeContact);
    contact->SetText(L"FullName", L"Ann Example");
    contact->SetText(L"Email1Address", L"ann@example.com");
    contact->Save();
    m_explorer->SwitchTo(contacts);
    m_explorer->Select({contact.Get()});
    const SyncSeen seen = SyncAndClose();
    ASSERT_EQ(1u, seen.rows.size());
    EXPECT_EQ("None", seen.rows[0].action);
    EXPECT_EQ("Ann Example", seen.rows[0].subject);
    EXPECT_EQ("ann@example.com", seen.rows[0].dueDate);
    EXPECT_EQ(CSyncItem::kNothing, seen.rows[0].image);
    EXPECT_EQ("Synchronization is Complete", seen.status);
    EXPECT_EQ(0u, Service().RequestCount());

    // Offline: the user is told, and nothing else happens.
    m_explorer->SwitchTo(*m_tasks);
    m_app->NameSpace().SetOffline(true);
    CScriptedUser offline;
    offline.Expect("Quillet Error").Click(IDOK);
    offline.Start();
    EXPECT_HR(S_OK, m_button.OnClick());
    offline.Stop();
    EXPECT_TRUE(offline.Finished()) << offline.Report();
    EXPECT_EQ(0u, Service().RequestCount());
}

TEST_F(SyncTest, StatusIsWrittenCappedAndItemsAreReadByTheirKind)
{
    CLoneWorker worker;
    ASSERT_HR(S_OK, worker.LoadExplorer(m_app->Dispatch(), m_explorer->Dispatch()));
    CItem& task = AddTask(L"Contract", "QF1001");
    struct Case {
        int percentSigned;
        bool complete;
        long percent;
        long status;
    };
    const Case cases[] = {
        {0, false, 0, 1}, {66, false, 66, 1}, {100, true, 100, 2}, {150, true, 100, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percentSigned);
        CSyncItem item(CSyncItem::kTaskItems);
        ASSERT_HR(S_OK, worker.LoadOneItem(item, task.Dispatch()));
        EXPECT_EQ("QF1001", item.m_requestId.str());
        EXPECT_EQ(std::string(task.EntryId().begin(), task.EntryId().end()), item.m_entryId.str());
        CEnvStat status;
        status.m_percentSigned = c.percentSigned;
        EXPECT_HR(S_OK, worker.LinkItem(nullptr, &item, status));
        EXPECT_EQ(c.complete, task.Bool(L"Complete"));
        EXPECT_EQ(c.percent, task.Long(L"PercentComplete"));
        EXPECT_EQ(c.status, task.Long(L"Status"));
        EXPECT_TRUE(task.Saved());
        EXPECT_EQ(c.complete ? 1 : 0, item.m_wantsSignedCopy) << "the copy is asked for when done";
    }
    CSyncItem noRequest(CSyncItem::kTaskItems);
    EXPECT_HR(E_INVALIDARG, worker.LinkItem(task.Dispatch(), &noRequest, CEnvStat{}));

    CComPtr<CItem> contact = m_app->Mailbox().CreateItem(kItemTypeContact);
    contact->SetText(L"FullName", L"Ann Example");
    contact->SetText(L"Email1Address", L"ann@example.com");
    contact->SetSubject(L"not read for a contact");
    contact->Save();
    CSyncItem person(CSyncItem::kContactItems);
    EXPECT_HR(S_OK, worker.LoadOneItem(person, contact->Dispatch()));
    EXPECT_EQ("Ann Example", person.m_fullName.str());
    EXPECT_EQ("ann@example.com", person.m_email.str());
    EXPECT_EQ("", person.m_subject.str());
    EXPECT_EQ("", person.m_dueDate.str());
}

TEST_F(SyncTest, ALoginTheUserCancelsEndsTheCommand)
{
    AddTask(L"Contract", CreateRequest({"a@example.com"}));
    Service().Control("clear-requests");
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Credentials");
        RegCloseKey(key);
    }

    CScriptedUser user;
    user.Expect("Quillet Login").Click(IDCANCEL);
    user.Start();
    // Cancelling is no failing HRESULT, yet nothing more may happen.
    EXPECT_EQ(kUserCancelled, m_button.OnClick());
    user.Stop();
    EXPECT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(std::vector<std::string>{"Quillet Login"}, user.Captions()) << "no sync dialog";
    EXPECT_EQ(0u, Service().RequestCount());
}

TEST_F(SyncWireTest, ASilentServiceNeverFreezesTheDialogAndCancelEndsTheSyncAtOnce)
{
    CItem& task = AddTask(L"Contract", CreateRequest({"a@example.com"}));
    // The status request gets no answer for 20 s, far longer than anyone
    // waits for a dialog that does not paint.
    ASSERT_TRUE(Service().FailNext(standin::kind::Slow, 1, "GetFileStatus", "\"delay\": 20"));
    const std::vector<std::string> before = ListFiles(TempDir());

    // The user runs on the dialog's own thread: each of its ticks is a
    // moment the dialog's thread was free.
    ULONGLONG firstTick = 0;
    ULONGLONG lastTick = 0;
    ULONGLONG longestGap = 0;
    int ticks = 0;
    int repainted = 0;
    std::string status;
    ULONGLONG clickedAt = 0;
    CScriptedUser user;
    user.Expect(kCaption)
        .Do("watch the dialog while the service keeps silent",
            [&](HWND dialog) {
                const ULONGLONG now = GetTickCount64();
                if (!firstTick)
                    firstTick = now;
                if (lastTick)
                    longestGap = std::max(longestGap, now - lastTick);
                lastTick = now;
                if (ticks++ > 0 && !GetUpdateRect(dialog, nullptr, FALSE))
                    ++repainted;
                InvalidateRect(dialog, nullptr, TRUE);
                status = TextOf(GetDlgItem(dialog, IDC_SYNC_STATUS));
                return now - firstTick >= 2000;
            })
        .Do("note the time",
            [&](HWND) {
                clickedAt = GetTickCount64();
                return true;
            })
        .Click(IDCANCEL);
    user.Start();
    EXPECT_HR(S_OK, m_button.OnClick());
    const ULONGLONG endedAt = GetTickCount64();
    user.Stop();

    EXPECT_TRUE(user.Finished()) << user.Report();
    // Held by the exchange, the thread would wait out the service's 20 s;
    // a busy machine may hold it for a moment.
    EXPECT_LT(longestGap, 2000u) << "the dialog's thread was held";
    EXPECT_GT(repainted, ticks / 2) << "the dialog repainted " << repainted << " of " << ticks;
    EXPECT_EQ("Requesting Status", status) << "the stage that waits";
    EXPECT_LT(endedAt - clickedAt, 5000u) << "Cancel ended the sync";
    EXPECT_EQ(0, task.Long(L"PercentComplete")) << "the task is unchanged";
    EXPECT_FALSE(task.Bool(L"Complete"));
    EXPECT_EQ(L"<none>", UserProperty(task, L"Quillet PDF"));
    EXPECT_EQ(before, ListFiles(TempDir())) << "the sync left a file behind";
}

TEST_F(SyncWireTest, ALargeSignedCopyArrivesWholeAtWireSpeed)
{
    // 50 MB of document: some 67 MB of answer, which one small read per
    // timer tick took minutes to take in.
    constexpr size_t kSize = 50 * 1024 * 1024;
    Service().Control("keep-bytes", "{\"limit\": 67108864}");
    SoapCallOp create(m_url, "CreateSignatureRequest",
                      SoapCallOp::CreateRequestElements("a@example.com", "Large"));
    ASSERT_EQ(1, create.Run(nullptr, 0, CWebSvrOp::kPrepare)) << create.GetErrorText();
    const std::string fileId = create.m_result.str();
    const std::string document = TempDir() + "large.pdf";
    const std::string bytes = Pdf(RandomBytes(kSize, 50));
    WriteFileBytes(document, bytes);
    UploadOp upload(m_url, fileId, document);
    ASSERT_EQ(1, upload.Run(nullptr, 0, CWebSvrOp::kPrepare)) << upload.GetErrorText();
    ASSERT_TRUE(Service().SetSigned(fileId));
    CItem& task = AddTask(L"Large", fileId);

    const ULONGLONG started = GetTickCount64();
    const SyncSeen seen = SyncAndClose();
    const ULONGLONG ms = GetTickCount64() - started;

    EXPECT_EQ("Synchronization is Complete", seen.status);
    ASSERT_EQ(1u, task.Attachments().Count());
    EXPECT_TRUE(task.Attachments().At(0)->Bytes() == bytes) << "the signed copy differs";
    // A read that crawls takes minutes; at wire speed it takes seconds,
    // a few more on a busy machine.
    EXPECT_LT(ms, 60000u) << "the download crawled";
}
