// The receipt task a send leaves in Outlook, made in the Outlook stand-in:
// its user properties, subject, body and category, the sent mail embedded
// after the body and kept as a ".msg" file in the product's "Sent Items"
// folder under a name Windows takes, and the message class that marks it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "addin/receipts/MsgCopy.h"
#include "addin/receipts/ReceiptTask.h"
#include "shared/requests/Receipt.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Attachments.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/ItemImage.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/Recipients.h"
#include "standins/outlook/model/RecordFile.h"
#include "standins/outlook/model/UserProperties.h"
#include "tests/support/HResultText.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestText.h"

using namespace standin;
using namespace testenv;

namespace {

constexpr char kHost[] = "quillet.example";

std::string Narrow(const std::wstring& text)
{
    return CBstr::ToNarrow(text.c_str(), static_cast<int>(text.size())).str();
}

std::string SentItems()
{
    CString folder;
    EXPECT_HR(S_OK, GetSentItemsFolder(folder));
    return folder.str() + "\\";
}

// The user property's text, or "<none>" when the item has none.
std::string Property(CItem& item, const wchar_t* name)
{
    CUserProperty* property = item.UserProperties().Find(name);
    return property ? Narrow(property->Text()) : "<none>";
}

bool IsCopyOf(const std::string& fileName, const std::string& subject)
{
    const std::string start = subject.empty() ? "(Qui" : subject + " (Qui";
    return fileName.size() > start.size() + 5 && fileName.rfind(start, 0) == 0 &&
           fileName.compare(fileName.size() - 5, 5, ").msg") == 0;
}

class ReceiptTaskTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        WriteText(kProductKey, "Host", kHost);
        m_app = New<CApplication>();
        m_sentItems = SentItems();
        const std::vector<std::string> before = ListFiles(m_sentItems);
        m_before.insert(before.begin(), before.end());
        CallLog().Clear();
    }
    void TearDown() override
    {
        CallLog().ClearInjections();
        for (const std::string& name : NewCopies())
            DeleteFileA((m_sentItems + name).c_str());
        m_app->Quit();
        m_app.Release();
        CleanProfileTest::TearDown();
    }

    // The files this test left in "Sent Items".
    std::vector<std::string> NewCopies() const
    {
        std::vector<std::string> copies;
        for (const std::string& name : ListFiles(m_sentItems)) {
            if (!m_before.count(name))
                copies.push_back(name);
        }
        return copies;
    }

    CComPtr<CItem> Mail(const std::wstring& subject, const std::vector<std::wstring>& to = {},
                        const std::vector<std::wstring>& cc = {})
    {
        CComPtr<CItem> mail = m_app->Mailbox().CreateItem(kItemTypeMail);
        mail->SetSubject(subject);
        mail->SetBody(L"Please sign " + subject + L".");
        for (const std::wstring& name : to)
            mail->Recipients().Add(name, kRecipientTo);
        for (const std::wstring& name : cc)
            mail->Recipients().Add(name, kRecipientCc);
        return mail;
    }

    CFolder& Tasks() { return *m_app->Mailbox().DefaultFolder(kFolderTasks); }

    CComPtr<CApplication> m_app;
    std::string m_sentItems;
    std::set<std::string> m_before;
};

TEST_F(ReceiptTaskTest, TaskCarriesTheRequestTheLinkAndTheMail)
{
    struct Case {
        const char* what;
        std::vector<std::wstring> to;
        std::vector<std::wstring> cc;
        const char* requestId;
        const char* link;
        const char* signers; // given to Generate, or null
        const char* subject; // given to Generate, or null
        const char* categories;
        const char* extra;
        // What the task shows.
        std::string quilletId;
        std::string url;
        std::string eSigners;
        std::string taskSubject;
        std::string category;
    } cases[] = {
        {"a To recipient",
         {L"ann@x.com"},
         {},
         "F100",
         "https://q.example/r/F100",
         nullptr,
         nullptr,
         "",
         "",
         "F100",
         "https://q.example/r/F100",
         "ann@x.com",
         "Quillet Receipt: Lease",
         "Quillet"},
        {"To and Cc recipients",
         {L"ann@x.com", L"bob@x.com"},
         {L"cy@x.com"},
         "F101",
         "https://q.example/r/F101",
         nullptr,
         nullptr,
         "",
         "",
         "F101",
         "https://q.example/r/F101",
         "ann@x.com; bob@x.com; cy@x.com",
         "Quillet Receipt: Lease",
         "Quillet"},
        {"no request ID, no link",
         {L"ann@x.com"},
         {},
         "",
         "",
         nullptr,
         nullptr,
         "",
         "",
         "<none>",
         kHost,
         "ann@x.com",
         "Quillet Receipt: Lease",
         "Quillet"},
        {"no recipients",
         {},
         {},
         "F102",
         "https://q.example/r/F102",
         nullptr,
         nullptr,
         "",
         "",
         "F102",
         "https://q.example/r/F102",
         "<none>",
         "Quillet Receipt: Lease",
         "Quillet"},
        {"signers and subject given",
         {L"ann@x.com"},
         {},
         "F103",
         "https://q.example/r/F103",
         "dee@x.com",
         "[dee@x.com] Lease",
         "",
         "",
         "F103",
         "https://q.example/r/F103",
         "dee@x.com",
         "[dee@x.com] Lease",
         "Quillet"},
        {"a category and gateway results",
         {L"ann@x.com"},
         {},
         "F104",
         "https://q.example/r/F104",
         nullptr,
         nullptr,
         "Legal",
         "okok",
         "F104",
         "https://q.example/r/F104",
         "ann@x.com",
         "Quillet Receipt: Lease",
         "Legal"},
        {"a link with format characters",
         {L"ann@x.com"},
         {},
         "F105",
         "https://q.example/r?id=%s%n%d",
         nullptr,
         nullptr,
         "",
         "",
         "F105",
         "https://q.example/r?id=%s%n%d",
         "ann@x.com",
         "Quillet Receipt: Lease",
         "Quillet"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tasks().Items().Replace({});
        CComPtr<CItem> mail = Mail(L"Lease", c.to, c.cc);
        SYSTEMTIME now{};
        GetLocalTime(&now);
        double before = 0;
        SystemTimeToVariantTime(&now, &before);

        CReceipt receipt(m_app->Dispatch(), CReceipt::kTaskReceipt);
        EXPECT_HR(S_OK, receipt.AddItem(mail->Dispatch(), "MailItem", c.requestId, c.link));
        receipt.SetCategories(c.categories);
        receipt.SetExtraText(c.extra);
        receipt.Generate(c.signers, TRUE, c.subject);

        ASSERT_EQ(1u, Tasks().Items().Count()) << "the task is saved into Tasks";
        CItem& task = *Tasks().Items().At(0);
        EXPECT_EQ(kClassTask, task.Class());
        EXPECT_EQ(c.quilletId, Property(task, kQuilletIdProperty));
        EXPECT_EQ(c.url, Property(task, kQuilletUrlProperty));
        EXPECT_EQ(c.eSigners, Property(task, kSignersProperty));
        EXPECT_EQ(c.taskSubject, Narrow(task.Subject()));
        EXPECT_EQ(1, task.Long(L"Status")) << "in progress";
        EXPECT_EQ(c.category, Narrow(task.Text(L"Categories")));
        EXPECT_LT(std::fabs(task.Date(L"StartDate") - before), 60.0 / 86400) << "started now";
        EXPECT_EQ(L"IPM.Task.Quillet", task.MessageClass());
        EXPECT_EQ(1, task.Displays()) << "shown to the user";

        const std::string body = Narrow(task.Body());
        const std::string expectedStart = "The attached email item was sent via Quillet at ";
        EXPECT_EQ(0u, body.find(expectedStart)) << body;
        EXPECT_NE(std::string::npos,
                  body.find(".  You may login to Quillet here (" + c.url +
                            ") to check the status of the related document(s).\n\nUpon "
                            "completing and synchronizing this task receipt, a \"Signed "
                            "Copy\" attachment will appear below"))
            << body;
        const std::string tail = *c.extra ? std::string("executed documents.\n\n \n") + c.extra
                                          : std::string("executed documents.\n\n ");
        EXPECT_EQ(tail, body.substr(body.size() - std::min(body.size(), tail.size())));

        ASSERT_EQ(1u, task.Attachments().Count());
        CAttachment& attached = *task.Attachments().At(0);
        EXPECT_EQ(5, attached.Type()) << "an embedded item";
        EXPECT_EQ(static_cast<long>(task.Body().size()) + 1, attached.Position())
            << "after the body's text";
        EXPECT_EQ(L"Lease", attached.DisplayName()) << "named by the mail's subject";
        CComPtr<CItem> embedded = attached.EmbeddedItem();
        ASSERT_TRUE(embedded);
        EXPECT_EQ(L"Please sign Lease.", embedded->Body());

        const std::vector<std::string> copies = NewCopies();
        ASSERT_EQ(1u, copies.size());
        EXPECT_TRUE(IsCopyOf(copies[0], c.subject ? c.subject : "Lease")) << copies[0];
        for (const std::string& name : copies)
            DeleteFileA((m_sentItems + name).c_str());
    }
}

TEST_F(ReceiptTaskTest, AnAtomComesFromTheItemAndGoesToTheHead)
{
    CComPtr<CItem> first = Mail(L"First");
    CComPtr<CItem> second = Mail(L"Second");
    CReceipt receipt(m_app->Dispatch(), CReceipt::kTaskReceipt);
    EXPECT_HR(S_OK, receipt.AddItem(first->Dispatch(), "MailItem", "F1", "L1"));
    CallLog().Inject(L"MailItem", L"Subject", E_ACCESSDENIED);
    EXPECT_HR(E_ACCESSDENIED, receipt.AddItem(second->Dispatch(), "MailItem", "F2", "L2"))
        << "the subject read's failure is told";

    ASSERT_EQ(2u, receipt.GetAtoms().size()) << "the atom is made all the same";
    const CReceiptAtom& head = *receipt.GetAtoms().front();
    EXPECT_EQ(second->Dispatch(), head.m_item);
    EXPECT_STREQ("MailItem", head.m_name);
    EXPECT_STREQ("F2", head.m_requestId);
    EXPECT_STREQ("L2", head.m_link);
    EXPECT_STREQ("<no subject>", head.m_subject);
    EXPECT_STREQ("First", receipt.GetAtoms().back()->m_subject);
}

TEST_F(ReceiptTaskTest, OnlyATaskReceiptWithAnAtomMakesATask)
{
    CComPtr<CItem> mail = Mail(L"Lease", {L"ann@x.com"});
    CReceipt empty(m_app->Dispatch(), CReceipt::kTaskReceipt);
    empty.Generate(nullptr, TRUE, nullptr);
    CReceipt file(m_app->Dispatch(), CReceipt::kFileReceipt);
    EXPECT_HR(S_OK, file.AddItem(mail->Dispatch(), "MailItem", "F1", "L1"));
    file.Generate(nullptr, TRUE, nullptr);

    EXPECT_EQ(0u, CallLog().Count(L"Application", L"CreateItem")) << CallLog().Dump();
    EXPECT_EQ(0u, Tasks().Items().Count());
    EXPECT_TRUE(NewCopies().empty());
}

TEST_F(ReceiptTaskTest, AFailedStepLeavesTheRestOfTheTask)
{
    struct Case {
        const char* what;
        const wchar_t* kind;
        const wchar_t* member;
        bool refuseFolderFields;
        // What the saved task still has.
        bool attached;
        bool copyKept;
        std::string quilletId;
    } cases[] = {
        {"the folder refuses the properties' fields", nullptr, nullptr, true, true, true, "F1"},
        {"the mail cannot be saved as a file", L"MailItem", L"SaveAs", false, false, false, "F1"},
        {"the copy cannot be attached", L"Attachments", L"Add", false, false, true, "F1"},
        {"the task's subject cannot be set", L"TaskItem", L"Subject", false, true, true, "F1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tasks().Items().Replace({});
        Tasks().SetRefusesFolderFields(c.refuseFolderFields);
        CComPtr<CItem> mail = Mail(L"Lease", {L"ann@x.com"});
        CReceipt receipt(m_app->Dispatch(), CReceipt::kTaskReceipt);
        EXPECT_HR(S_OK, receipt.AddItem(mail->Dispatch(), "MailItem", "F1", "https://q/F1"));
        if (c.kind)
            CallLog().Inject(c.kind, c.member, E_FAIL);
        receipt.Generate(nullptr, FALSE, nullptr);
        CallLog().ClearInjections();

        ASSERT_EQ(1u, Tasks().Items().Count());
        CItem& task = *Tasks().Items().At(0);
        EXPECT_EQ(c.quilletId, Property(task, kQuilletIdProperty));
        EXPECT_EQ("https://q/F1", Property(task, kQuilletUrlProperty));
        EXPECT_EQ(c.attached ? 1u : 0u, task.Attachments().Count());
        EXPECT_EQ(L"IPM.Task.Quillet", task.MessageClass()) << "the later steps ran";
        EXPECT_EQ(0, task.Displays()) << "not shown when not asked";
        EXPECT_EQ(c.copyKept ? 1u : 0u, NewCopies().size());
        for (const std::string& name : NewCopies())
            DeleteFileA((m_sentItems + name).c_str());
    }
    Tasks().SetRefusesFolderFields(false);

    // No task at all: nothing more is tried.
    CComPtr<CItem> mail = Mail(L"Lease", {L"ann@x.com"});
    CReceipt receipt(m_app->Dispatch(), CReceipt::kTaskReceipt);
    EXPECT_HR(S_OK, receipt.AddItem(mail->Dispatch(), "MailItem", "F1", "https://q/F1"));
    Tasks().Items().Replace({});
    CallLog().Clear();
    CallLog().Inject(L"Application", L"CreateItem", E_OUTOFMEMORY);
    receipt.Generate(nullptr, TRUE, nullptr);
    EXPECT_EQ(0u, Tasks().Items().Count());
    EXPECT_EQ(0u, CallLog().Count(L"MailItem", L"SaveAs")) << CallLog().Dump();
    EXPECT_TRUE(NewCopies().empty());
}

TEST_F(ReceiptTaskTest, TheMessageClassIsMarkedOnce)
{
    struct Case {
        const wchar_t* before;
        HRESULT expected;
        const wchar_t* after;
    } cases[] = {
        {L"IPM.Task", S_OK, L"IPM.Task.Quillet"},
        {L"IPM.Task.Quillet", S_FALSE, L"IPM.Task.Quillet"},
        {L"IPM.Task.Quillet.Signed", S_FALSE, L"IPM.Task.Quillet.Signed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.before));
        CComPtr<CItem> task = m_app->Mailbox().CreateItem(kItemTypeTask);
        task->SetText(L"MessageClass", c.before);
        EXPECT_HR(c.expected, MarkReceiptClass(task->Dispatch()));
        EXPECT_EQ(c.after, task->MessageClass());
    }
}

TEST_F(ReceiptTaskTest, CopiesAreNamedSafelyAfterTheSubject)
{
    const std::string longSubject(300, 'x');
    struct Case {
        const char* what;
        std::string subject;
        std::string nameStart; // before " (Qui"
    } cases[] = {
        {"slashes, colons, backslashes", "Re: a/b\\c", "Re  a-b c"},
        {"every other forbidden character", "<x>|y?*\"z\"", "x  y   z"},
        {"control characters", "tab\there\x01", "tab here"},
        {"trailing dots and blanks", "Report..  ", "Report"},
        {"leading blanks", "   lead", "lead"},
        {"a device name", "con.txt", "_con.txt"},
        {"accents", "Vertrag f\xfcr M\xfcller", "Vertrag f\xfcr M\xfcller"},
        {"nothing left", "???", ""},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CComPtr<CItem> mail = Mail(L"Lease");
        CComPtr<CItem> task = m_app->Mailbox().CreateItem(kItemTypeTask);
        EXPECT_HR(S_OK, SaveMsgCopy(task->Dispatch(), mail->Dispatch(), c.subject.c_str(),
                                    c.subject.c_str(), 0));
        const std::vector<std::string> copies = NewCopies();
        ASSERT_EQ(1u, copies.size());
        EXPECT_TRUE(IsCopyOf(copies[0], c.nameStart)) << copies[0];
        ASSERT_EQ(1u, task->Attachments().Count());
        if (!c.subject.empty()) {
            EXPECT_EQ(c.subject, Narrow(task->Attachments().At(0)->DisplayName()))
                << "the attachment keeps the subject as it was";
        }
        EXPECT_EQ(1, task->Attachments().At(0)->Position());
        DeleteFileA((m_sentItems + copies[0]).c_str());
    }

    // A long subject is cut to fit the longest path.
    CComPtr<CItem> mail = Mail(L"Lease");
    CComPtr<CItem> task = m_app->Mailbox().CreateItem(kItemTypeTask);
    EXPECT_HR(S_OK,
              SaveMsgCopy(task->Dispatch(), mail->Dispatch(), "Lease", longSubject.c_str(), 7));
    const std::vector<std::string> copies = NewCopies();
    ASSERT_EQ(1u, copies.size());
    const std::string& name = copies[0];
    EXPECT_LE(m_sentItems.size() + name.size(), static_cast<size_t>(MAX_PATH - 1)) << name;
    const size_t kept = name.find(" (Qui");
    ASSERT_NE(std::string::npos, kept) << name;
    EXPECT_GT(kept, 100u);
    EXPECT_EQ(std::string(kept, 'x'), name.substr(0, kept));
    EXPECT_EQ(8, task->Attachments().At(0)->Position());
}

TEST_F(ReceiptTaskTest, ACopyNeverWritesOverAnother)
{
    // The unique part comes from the system's temporary names, which say
    // nothing of the ".msg" files: the names that would come next are
    // taken already, as copies saved in the same moment (by another
    // Outlook, say) take them.
    CComPtr<CItem> task = m_app->Mailbox().CreateItem(kItemTypeTask);
    CComPtr<CItem> first = Mail(L"Lease");
    first->SetBody(L"copy 0");
    ASSERT_HR(S_OK, SaveMsgCopy(task->Dispatch(), first->Dispatch(), "Lease", "Lease", 0));
    ASSERT_EQ(1u, NewCopies().size());
    const std::string firstName = NewCopies()[0];
    ASSERT_TRUE(IsCopyOf(firstName, "Lease")) << firstName;
    const unsigned long unique =
        std::stoul(firstName.substr(std::strlen("Lease (Qui")), nullptr, 16);
    std::vector<std::string> others;
    for (unsigned long next = unique + 1; next <= unique + 32; ++next) {
        char name[64];
        std::snprintf(name, sizeof name, "Lease (Qui%lX).msg", next & 0xffff);
        others.push_back(name);
        WriteFileBytes(m_sentItems + name, "another copy");
    }

    constexpr int kCopies = 5;
    for (int i = 1; i <= kCopies; ++i) {
        CComPtr<CItem> mail = Mail(L"Lease");
        mail->SetBody(L"copy " + std::to_wstring(i));
        EXPECT_HR(S_OK, SaveMsgCopy(task->Dispatch(), mail->Dispatch(), "Lease", "Lease", 0));
    }

    for (const std::string& name : others)
        EXPECT_EQ("another copy", ReadFileBytes(m_sentItems + name)) << name << " kept";
    std::set<std::wstring> bodies;
    for (const std::string& name : NewCopies()) {
        if (std::find(others.begin(), others.end(), name) != others.end())
            continue;
        EXPECT_TRUE(IsCopyOf(name, "Lease")) << name;
        CComPtr<CItem> copy = ItemFromMsg(ReadFileBytes(m_sentItems + name), nullptr);
        ASSERT_TRUE(copy) << name;
        bodies.insert(copy->Body());
    }
    EXPECT_EQ(static_cast<size_t>(kCopies + 1), bodies.size()) << "each copy in a file of its own";
    EXPECT_EQ(static_cast<size_t>(kCopies + 1), task->Attachments().Count());
    for (const std::string& name : ListFiles(m_sentItems))
        EXPECT_FALSE(name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0)
            << "no temporary name left: " << name;
}

} // namespace
