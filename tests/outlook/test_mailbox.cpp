// The Outlook stand-in's mailbox as an add-in reaches it (late bound, through
// CDispatcher) and as a host program or test fills and reads it (C++).
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "classlib/com/CComDispatch.h"
#include "classlib/com/CVariant.h"
#include "shared/outlook/Dispatcher.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/model/AddressBook.h"
#include "standins/outlook/model/Attachments.h"
#include "standins/outlook/model/ContactItem.h"
#include "standins/outlook/model/ItemImage.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/MailItem.h"
#include "standins/outlook/model/Mailbox.h"
#include "standins/outlook/model/Recipients.h"
#include "standins/outlook/model/RecordFile.h"
#include "standins/outlook/model/TaskItem.h"
#include "standins/outlook/model/UserProperties.h"
#include "standins/outlook/model/ValueText.h"
#include "tests/support/TestEnv.h"
#include "tests/support/HResultText.h"
#include "tests/support/TestText.h"

using namespace standin;

namespace {

CVariant Text(const std::wstring& text)
{
    return TextVariant(text);
}

std::wstring TextOf(const VARIANT& value)
{
    EXPECT_EQ(value.vt, VT_BSTR);
    return value.vt == VT_BSTR ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : L"";
}

CVariant Get(IDispatch* object, const wchar_t* name)
{
    CVariant value;
    const HRESULT hr = CDispatcher::GetProp(object, name, value.Put());
    EXPECT_HR(S_OK, hr) << "reading " << ToUtf8(name);
    return value;
}

HRESULT Put(IDispatch* object, const wchar_t* name, CVariant value)
{
    return CDispatcher::PutProp(object, name, &value);
}

// Calls with the arguments in declaration order (turned around for the call).
HRESULT Call(IDispatch* object, const wchar_t* name, std::vector<CVariant> args,
             CVariant* result = nullptr)
{
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        reversed.push_back(*it);
    CVariant ignored;
    return CDispatcher::CallMethod(object, name, result ? result->Put() : ignored.Put(),
                                   static_cast<int>(reversed.size()),
                                   reversed.empty() ? nullptr : reversed.data());
}

// A sink on one event interface of a stand-in object: records each event,
// and may answer it (to set Cancel). It lives on the test's stack.
class CSink final : public CComDispatchT<ComLifetime::Scoped, IDispatch> {
public:
    struct Event {
        DISPID id;
        std::vector<CVariant> args; // declaration order
    };
    using Answer = std::function<void(DISPID id, DISPPARAMS& params)>;

    CSink(IDispatch* source, REFIID events) : m_events(events)
    {
        CComPtr<IConnectionPointContainer> container;
        EXPECT_HR(S_OK, source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()));
        if (!container)
            return;
        EXPECT_HR(S_OK, container->FindConnectionPoint(events, m_point.Put()));
        if (m_point) {
            EXPECT_HR(S_OK, m_point->Advise(this, &m_cookie));
        }
    }
    ~CSink()
    {
        if (m_point)
            m_point->Unadvise(m_cookie);
    }

    std::vector<Event> events;
    Answer answer;

    size_t Count(DISPID id) const
    {
        size_t count = 0;
        for (const Event& event : events)
            count += event.id == id;
        return count;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override
    {
        Event event{id, {}};
        event.args.resize(params->cArgs);
        for (UINT i = 0; i < params->cArgs; ++i)
            VariantCopy(&event.args[params->cArgs - 1 - i], &params->rgvarg[i]);
        events.push_back(std::move(event));
        if (answer)
            answer(id, *params);
        return S_OK;
    }

protected:
    void* QueryOther(REFIID iid) override
    {
        return iid == m_events ? static_cast<IDispatch*>(this) : nullptr;
    }

private:
    IID m_events;
    CComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};

class MailboxTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        CallLog().Clear();
        CallLog().ClearInjections();
    }
    void TearDown() override
    {
        CallLog().ClearInjections();
        CleanProfileTest::TearDown();
    }

    std::wstring Temp(const char* name) const { return Widen(TempDir() + name); }

    CMailbox mailbox;
};

// ---- the mailbox file ----

// One kind of thing an item keeps, set in one mailbox and checked in the
// mailbox read back from its file.
struct RoundTripCase {
    const char* what;
    std::function<void(CMailbox&)> fill;
    std::function<void(CMailbox&)> check;
};

// The one item of a default folder; any other count ends the test.
CItem& OnlyItem(CMailbox& mailbox, long folder)
{
    CItems& items = mailbox.DefaultFolder(folder)->Items();
    if (items.Count() != 1)
        throw std::runtime_error("folder " + std::to_string(folder) + " holds " +
                                 std::to_string(items.Count()) + " items, not 1");
    return *items.At(0);
}

CItem& AddMail(CMailbox& mailbox, long folder = kFolderInbox)
{
    CComPtr<CItem> item = mailbox.CreateItem(kItemTypeMail);
    mailbox.DefaultFolder(folder)->Items().Add(item.Get());
    return *item;
}

const std::wstring kAwkwardText =
    L"tab\there, line\nbreak\r\nback\\slash \u00e9\u4e2d\U0001F600 end";

std::string AllBytes()
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    return bytes + testenv::RandomBytes(3001, 7) + std::string(3, '\0');
}

const std::vector<RoundTripCase> kRoundTrips = {
    {"text field with escapes and characters beyond the BMP",
     [](CMailbox& m) { AddMail(m).SetSubject(kAwkwardText); },
     [](CMailbox& m) { EXPECT_EQ(OnlyItem(m, kFolderInbox).Subject(), kAwkwardText); }},
    {"empty text, long body",
     [](CMailbox& m) {
         CItem& item = AddMail(m);
         item.SetSubject(L"");
         item.SetBody(std::wstring(70000, L'x'));
     },
     [](CMailbox& m) {
         EXPECT_EQ(OnlyItem(m, kFolderInbox).Subject(), L"");
         EXPECT_EQ(OnlyItem(m, kFolderInbox).Body(), std::wstring(70000, L'x'));
     }},
    {"read-only yes/no and date of a mail",
     [](CMailbox& m) {
         CItem& item = AddMail(m, kFolderSentMail);
         item.SetBool(L"Sent", true);
         item.SetDate(L"ReceivedTime", MakeDate(2026, 2, 28, 23, 59, 58));
     },
     [](CMailbox& m) {
         CItem& item = OnlyItem(m, kFolderSentMail);
         EXPECT_TRUE(dynamic_cast<CMailItem&>(item).Sent());
         EXPECT_EQ(item.Date(L"ReceivedTime"), MakeDate(2026, 2, 28, 23, 59, 58));
     }},
    {"task numbers, flags and the no-date",
     [](CMailbox& m) {
         CComPtr<CItem> task = m.CreateItem(kItemTypeTask);
         task->SetLong(L"PercentComplete", 40);
         task->SetDate(L"StartDate", MakeDate(2026, 12, 1));
         task->SetText(L"MessageClass", L"IPM.Task.Quillet");
         task->Save();
     },
     [](CMailbox& m) {
         CItem& task = OnlyItem(m, kFolderTasks);
         EXPECT_EQ(task.Long(L"Status"), kTaskInProgress);
         EXPECT_EQ(task.Long(L"PercentComplete"), 40);
         EXPECT_FALSE(task.Bool(L"Complete"));
         EXPECT_EQ(task.Date(L"StartDate"), MakeDate(2026, 12, 1));
         EXPECT_EQ(task.Date(L"DueDate"), kNoDate);
         EXPECT_EQ(task.MessageClass(), L"IPM.Task.Quillet");
     }},
    {"user properties of every kept type",
     [](CMailbox& m) {
         CUserProperties& properties = AddMail(m).UserProperties();
         properties.Add(L"Quillet ID", kPropText).SetText(kAwkwardText);
         properties.Add(L"Quillet", kPropYesNo).SetValue(Bool(true));
         properties.Add(L"Ratio", kPropNumber).SetValue(CVariant(3L));
         CVariant third;
         third.vt = VT_R8;
         third.dblVal = 1.0 / 3;
         properties.At(2)->SetValue(third);
         CVariant when;
         when.vt = VT_DATE;
         when.date = MakeDate(2027, 1, 2, 3, 4, 5);
         properties.Add(L"When", kPropDateTime).SetValue(when);
         properties.Add(L"Count", kPropInteger).SetValue(CVariant(-12L));
         CVariant money;
         money.vt = VT_CY;
         money.cyVal.int64 = -123456789; // -12345.6789
         properties.Add(L"Price", kPropCurrency).SetValue(money);
     },
     [](CMailbox& m) {
         CUserProperties& properties = OnlyItem(m, kFolderInbox).UserProperties();
         ASSERT_EQ(properties.Count(), 6u);
         EXPECT_EQ(properties.Find(L"quillet id")->Text(), kAwkwardText);
         EXPECT_EQ(properties.Find(L"Quillet")->Value().vt, VT_BOOL);
         EXPECT_NE(properties.Find(L"Quillet")->Value().boolVal, VARIANT_FALSE);
         EXPECT_EQ(properties.Find(L"Ratio")->Value().dblVal, 1.0 / 3);
         EXPECT_EQ(properties.Find(L"When")->Value().date, MakeDate(2027, 1, 2, 3, 4, 5));
         EXPECT_EQ(properties.Find(L"Count")->Value().lVal, -12);
         EXPECT_EQ(properties.Find(L"Price")->Value().cyVal.int64, -123456789);
     }},
    {"attachments of each type with every byte value",
     [](CMailbox& m) {
         CItem& item = AddMail(m);
         item.Attachments().Add(kAttachByValue, L"a.pdf", L"Contract", AllBytes(), 0x7FFFFFFF);
         item.Attachments().Add(kAttachByReference, L"b.doc", L"Link", "x", 3, L"C:\\b.doc");
         CComPtr<CItem> inner = m.CreateItem(kItemTypeMail);
         inner->SetSubject(L"Inner");
         item.Attachments().AddItem(*inner, 5, L"");
         item.Attachments().Add(kAttachOle, L"", L"Picture", "", 0);
     },
     [](CMailbox& m) {
         CAttachments& attachments = OnlyItem(m, kFolderInbox).Attachments();
         ASSERT_EQ(attachments.Count(), 4u);
         EXPECT_EQ(attachments.At(0)->Bytes(), AllBytes());
         EXPECT_EQ(attachments.At(0)->DisplayName(), L"Contract");
         EXPECT_EQ(attachments.At(0)->Position(), 0x7FFFFFFF);
         EXPECT_EQ(attachments.At(1)->PathName(), L"C:\\b.doc");
         EXPECT_EQ(attachments.At(2)->FileName(), L"Inner.msg");
         ASSERT_TRUE(attachments.At(2)->EmbeddedItem());
         EXPECT_EQ(attachments.At(2)->EmbeddedItem()->Subject(), L"Inner");
         EXPECT_EQ(attachments.At(3)->Type(), kAttachOle);
     }},
    {"recipients resolved to book entries, one-offs and lists",
     [](CMailbox& m) {
         CAddressEntry& jane = m.AddressBook().Add(L"Jane Doe", L"/o=Org/cn=jane", L"EX");
         CAddressEntry& list = m.AddressBook().Add(L"Team", L"", L"EX", kDisplayDistList);
         list.Members().Add(&jane);
         list.Members().Add(&m.AddressBook().Add(L"Bob", L"bob@x.org"));
         CItem& item = AddMail(m);
         item.Recipients().Add(jane, kRecipientTo);
         item.Recipients().Add(list, kRecipientCc);
         item.Recipients().Add(L"Not Known", kRecipientBcc);
         item.Recipients().Add(L"one@off.org").Resolve();
     },
     [](CMailbox& m) {
         CRecipients& recipients = OnlyItem(m, kFolderInbox).Recipients();
         ASSERT_EQ(recipients.Count(), 4u);
         EXPECT_EQ(recipients.At(0)->Entry(), m.AddressBook().Entries()[0].Get())
             << "a book entry stays the book's";
         EXPECT_EQ(recipients.At(0)->Address(), L"/o=Org/cn=jane");
         ASSERT_TRUE(recipients.At(1)->Entry());
         EXPECT_EQ(recipients.At(1)->Type(), kRecipientCc);
         ASSERT_EQ(recipients.At(1)->Entry()->Members().Count(), 2u);
         EXPECT_EQ(recipients.At(1)->Entry()->Members().At(1)->Address(), L"bob@x.org");
         EXPECT_FALSE(recipients.At(2)->Resolved());
         EXPECT_EQ(recipients.At(2)->Name(), L"Not Known");
         EXPECT_EQ(recipients.At(3)->Address(), L"one@off.org");
     }},
    {"a folder of the user's with a refused field list",
     [](CMailbox& m) {
         CFolder& folder = m.AddFolder(L"Quillet Receipts", kItemTypeTask);
         folder.SetRefusesFolderFields(true);
         CComPtr<CItem> task = m.CreateItem(kItemTypeTask);
         folder.Items().Add(task.Get());
     },
     [](CMailbox& m) {
         CFolder* folder = m.FolderByName(L"quillet receipts");
         ASSERT_TRUE(folder);
         EXPECT_EQ(folder->DefaultItemType(), kItemTypeTask);
         EXPECT_TRUE(folder->RefusesFolderFields());
         EXPECT_EQ(folder->Items().Count(), 1u);
     }},
};

TEST_F(MailboxTest, FileKeepsEveryKindOfValue)
{
    for (const RoundTripCase& row : kRoundTrips) {
        SCOPED_TRACE(row.what);
        CMailbox written;
        row.fill(written);
        const std::wstring path = Temp("mailbox.txt");
        std::wstring error;
        ASSERT_TRUE(written.Save(path, &error)) << ToUtf8(error);
        CMailbox read;
        ASSERT_TRUE(read.Load(path, &error)) << ToUtf8(error);
        row.check(read);
        // Entry IDs and the whole text survive as well.
        EXPECT_EQ(read.SaveToText(), written.SaveToText());
        for (const auto& folder : written.Folders())
            for (size_t i = 0; i < folder->Items().Count(); ++i)
                EXPECT_TRUE(read.FindByEntryId(folder->Items().At(i)->EntryId()));
    }
}

TEST_F(MailboxTest, LoadReplacesContentsAndNewIdsStayUnique)
{
    CMailbox written;
    CItem& old = AddMail(written);
    const std::string text = written.SaveToText();

    AddMail(mailbox).SetSubject(L"before");
    mailbox.AddFolder(L"Scratch", kItemTypeMail);
    ASSERT_TRUE(mailbox.LoadFromText(text));
    EXPECT_EQ(mailbox.DefaultFolder(kFolderInbox)->Items().Count(), 1u);
    EXPECT_FALSE(mailbox.FolderByName(L"Scratch"));
    CItem& fresh = AddMail(mailbox, kFolderDrafts);
    EXPECT_NE(fresh.EntryId(), old.EntryId());
    EXPECT_EQ(fresh.EntryId().size(), 48u);
}

TEST_F(MailboxTest, BrokenFilesAreRefusedAndChangeNothing)
{
    CMailbox source;
    AddMail(source).SetSubject(L"kept");
    const std::string good = source.SaveToText();
    const struct {
        const char* what;
        std::string text;
    } rows[] = {
        {"not a mailbox", "hello\n"},
        {"unknown version", "standin-mailbox\t2\n"},
        {"bad escape", "standin-mailbox\t1\nfolder\t6\tIn\\box\t0\t\tfalse\n"},
        {"not UTF-8", "standin-mailbox\t1\nfolder\t0\t\xff\xfe\t0\t\tfalse\n"},
        {"item before any folder", "standin-mailbox\t1\nitem\t43\t\nend\n"},
        {"unknown field",
         "standin-mailbox\t1\nfolder\t6\tInbox\t0\t\tfalse\nitem\t43\t\nfield\tColour\tred\nend\n"},
        {"value not of the field's type",
         "standin-"
         "mailbox\t1\nfolder\t6\tInbox\t0\t\tfalse\nitem\t48\t\nfield\tStatus\tmany\nend\n"},
        {"item without end", "standin-mailbox\t1\nfolder\t6\tInbox\t0\t\tfalse\nitem\t43\t\n"},
        {"bad base64",
         "standin-mailbox\t1\nfolder\t6\tInbox\t0\t\tfalse\nitem\t43\t\nattachment\t1\t0\ta\ta\t\t@"
         "@@@\nend\n"},
        {"member of an unknown entry", "standin-mailbox\t1\nentry\t" + std::string(48, 'A') +
                                           "\tL\t\tEX\t1\nmember\t" + std::string(48, 'B') + "\n"},
        {"the same entry ID twice",
         "standin-"
         "mailbox\t1\nfolder\t6\tInbox\t0\t\tfalse\nitem\t43\tAB\nend\nitem\t43\tab\nend\n"},
        {"no such default folder", "standin-mailbox\t1\nfolder\t99\tX\t0\t\tfalse\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(mailbox.LoadFromText(good));
        std::wstring error;
        EXPECT_FALSE(mailbox.LoadFromText(row.text, &error));
        EXPECT_FALSE(error.empty());
        ASSERT_EQ(mailbox.DefaultFolder(kFolderInbox)->Items().Count(), 1u);
        EXPECT_EQ(mailbox.DefaultFolder(kFolderInbox)->Items().At(0)->Subject(), L"kept");
    }
    std::wstring error;
    EXPECT_FALSE(mailbox.Load(Temp("missing.txt"), &error));
    EXPECT_NE(error.find(L"missing.txt"), std::wstring::npos);
}

TEST_F(MailboxTest, HandWrittenFileWithCommentsAndWindowsLineEnds)
{
    const std::string text = "# a prepared mailbox\r\n"
                             "standin-mailbox\t1\r\n"
                             "\r\n"
                             "folder\t6\tInbox\t0\t\tfalse\r\n"
                             "item\t43\t\r\n"
                             "field\tSubject\tHello\\tthere\r\n"
                             "field\tReceivedTime\t2026-12-10\r\n"
                             "recipient\t1\tJane\r\n"
                             "end\r\n";
    std::wstring error;
    ASSERT_TRUE(mailbox.LoadFromText(text, &error)) << ToUtf8(error);
    CItem& item = OnlyItem(mailbox, kFolderInbox);
    EXPECT_EQ(item.Subject(), L"Hello\tthere");
    EXPECT_EQ(item.Date(L"ReceivedTime"), MakeDate(2026, 12, 10));
    EXPECT_EQ(item.EntryId().size(), 48u) << "an item without an ID gets one";
    EXPECT_TRUE(item.Saved());
}

// ---- ".msg" files and attachments ----

TEST_F(MailboxTest, SaveAsMsgThenEmbedKeepsTheItem)
{
    CComPtr<CItem> mail = mailbox.CreateItem(kItemTypeMail);
    IDispatch* item = mail->Dispatch();
    EXPECT_HR(S_OK, Put(item, L"Subject", Text(L"Signed: contract")));
    EXPECT_HR(S_OK, Put(item, L"To", Text(L"Jane Doe; bob@x.org")));
    EXPECT_HR(S_OK, Put(item, L"CC", Text(L"Carol")));
    mail->Attachments().Add(kAttachByValue, L"c.pdf", L"Contract", AllBytes());
    CAddressEntry& list = mailbox.AddressBook().Add(L"Board", L"", L"EX", kDisplayDistList);
    list.Members().Add(&mailbox.AddressBook().Add(L"Ann", L"ann@x.org"));
    mail->Recipients().Add(list, kRecipientBcc);
    mail->UserProperties().Add(L"Quillet ID", kPropText).SetText(L"R-17");

    const std::wstring msg = Temp("copy.msg");
    ASSERT_HR(S_OK, Call(item, L"SaveAs", {Text(msg), CVariant(3L)}));

    CComPtr<CItem> task = mailbox.CreateItem(kItemTypeTask);
    CVariant attachments = Get(task->Dispatch(), L"Attachments");
    CVariant added;
    ASSERT_HR(S_OK,
              Call(attachments.pdispVal, L"Add",
                   {Text(msg), CVariant(5L), CVariant(12L), Text(L"Signed: contract")}, &added));
    ASSERT_EQ(added.vt, VT_DISPATCH);
    EXPECT_EQ(Get(added.pdispVal, L"Type").lVal, kAttachEmbeddedItem);
    EXPECT_EQ(TextOf(Get(added.pdispVal, L"FileName")), L"Signed: contract.msg");

    CComPtr<CItem> back = task->Attachments().At(0)->EmbeddedItem();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Class(), kClassMail);
    EXPECT_EQ(back->Subject(), L"Signed: contract");
    EXPECT_EQ(TextOf(Get(back->Dispatch(), L"To")), L"Jane Doe; bob@x.org");
    EXPECT_EQ(TextOf(Get(back->Dispatch(), L"CC")), L"Carol");
    ASSERT_EQ(back->Attachments().Count(), 1u);
    EXPECT_EQ(back->Attachments().At(0)->Bytes(), AllBytes());
    ASSERT_TRUE(back->UserProperties().Find(L"Quillet ID"));
    EXPECT_EQ(back->UserProperties().Find(L"Quillet ID")->Text(), L"R-17");
    EXPECT_TRUE(back->EntryId().empty()) << "a copy is not the stored item";

    // Read where no address book knows them, a list keeps its members.
    std::string bytes = testenv::ReadFileBytes(TempDir() + "copy.msg");
    CComPtr<CItem> alone = ItemFromMsg(bytes, nullptr);
    ASSERT_TRUE(alone);
    ASSERT_EQ(alone->Recipients().Count(), 4u);
    CAddressEntry* board = alone->Recipients().At(3)->Entry();
    ASSERT_TRUE(board);
    EXPECT_NE(board, &list);
    EXPECT_EQ(board->DisplayType(), kDisplayDistList);
    ASSERT_EQ(board->Members().Count(), 1u);
    EXPECT_EQ(board->Members().At(0)->Address(), L"ann@x.org");

    // Saved again as a file, the embedded item reads back the same.
    const std::wstring again = Temp("again.msg");
    ASSERT_HR(S_OK, Call(added.pdispVal, L"SaveAsFile", {Text(again)}));
    EXPECT_EQ(testenv::ReadFileBytes(TempDir() + "again.msg"),
              testenv::ReadFileBytes(TempDir() + "copy.msg"));
}

TEST_F(MailboxTest, SaveAsRefusesOtherFormatsAndEmbedRefusesOtherFiles)
{
    CComPtr<CItem> mail = mailbox.CreateItem(kItemTypeMail);
    EXPECT_HR(DISP_E_EXCEPTION,
              Call(mail->Dispatch(), L"SaveAs", {Text(Temp("x.txt")), CVariant(0L)}));
    testenv::WriteFileBytes(TempDir() + "plain.msg", "not a message");
    CVariant attachments = Get(mail->Dispatch(), L"Attachments");
    EXPECT_HR(DISP_E_EXCEPTION,
              Call(attachments.pdispVal, L"Add", {Text(Temp("plain.msg")), CVariant(5L)}));
    EXPECT_EQ(mail->Attachments().Count(), 0u);
}

TEST_F(MailboxTest, AttachmentByValueSavesTheSameBytes)
{
    const std::string bytes = AllBytes();
    testenv::WriteFileBytes(TempDir() + "doc.tar.gz", bytes);
    CComPtr<CItem> mail = mailbox.CreateItem(kItemTypeMail);
    CVariant attachments = Get(mail->Dispatch(), L"Attachments");
    CVariant added;
    ASSERT_HR(S_OK, Call(attachments.pdispVal, L"Add",
                         {Text(Temp("doc.tar.gz")), CVariant(1L), CVariant(0x7FFFFFFFL),
                          Text(L"The document")},
                         &added));
    // The file may go: the attachment holds its own copy.
    DeleteFileW(Temp("doc.tar.gz").c_str());

    EXPECT_EQ(Get(added.pdispVal, L"Index").lVal, 1);
    EXPECT_EQ(Get(added.pdispVal, L"Type").lVal, kAttachByValue);
    EXPECT_EQ(TextOf(Get(added.pdispVal, L"FileName")), L"doc.tar.gz");
    EXPECT_EQ(TextOf(Get(added.pdispVal, L"DisplayName")), L"The document");
    EXPECT_EQ(TextOf(Get(added.pdispVal, L"PathName")), L"");
    ASSERT_HR(S_OK, Call(added.pdispVal, L"SaveAsFile", {Text(Temp("out.bin"))}));
    EXPECT_EQ(testenv::ReadFileBytes(TempDir() + "out.bin"), bytes);

    // Missing files and unwritable targets fail as Outlook fails.
    EXPECT_HR(DISP_E_EXCEPTION,
              Call(attachments.pdispVal, L"Add", {Text(Temp("gone.pdf")), CVariant(1L)}));
    EXPECT_HR(DISP_E_EXCEPTION,
              Call(added.pdispVal, L"SaveAsFile", {Text(Temp("no\\such\\dir\\x.bin"))}));
    EXPECT_EQ(Get(attachments.pdispVal, L"Count").lVal, 1);
}

// ---- recipients ----

TEST_F(MailboxTest, ResolveAllAgainstTheAddressBookAndContacts)
{
    mailbox.AddressBook().Add(L"Jane Doe", L"/o=Org/ou=Site/cn=Recipients/cn=jane", L"EX");
    mailbox.AddressBook().Add(L"Sam Smith", L"sam@one.org");
    mailbox.AddressBook().Add(L"Sam Smith", L"sam@two.org");
    CComPtr<CItem> contact = mailbox.CreateItem(kItemTypeContact);
    contact->SetText(L"FullName", L"Carol King");
    contact->SetText(L"Email1Address", L"/o=Org/cn=carol");
    contact->SetText(L"Email2Address", L"carol@king.org");
    contact->Save();
    ASSERT_EQ(contact->Folder(), mailbox.DefaultFolder(kFolderContacts));

    const struct {
        const wchar_t* typed;
        bool resolves;
        const wchar_t* name;
        const wchar_t* address;
        const wchar_t* type;
    } rows[] = {
        {L"jane doe", true, L"Jane Doe", L"/o=Org/ou=Site/cn=Recipients/cn=jane", L"EX"},
        {L"x@y.org", true, L"x@y.org", L"x@y.org", L"SMTP"},
        {L"Carol King", true, L"Carol King", L"carol@king.org", L"SMTP"},
        {L"Nobody", false, L"Nobody", L"", nullptr},
        {L"Sam Smith", false, L"Sam Smith", L"", nullptr}, // two entries: the user must pick
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(ToUtf8(row.typed));
        CComPtr<CItem> mail = mailbox.CreateItem(kItemTypeMail);
        CVariant recipients = Get(mail->Dispatch(), L"Recipients");
        ASSERT_HR(S_OK, Call(recipients.pdispVal, L"Add", {Text(row.typed)}));
        CVariant all;
        ASSERT_HR(S_OK, Call(recipients.pdispVal, L"ResolveAll", {}, &all));
        ASSERT_EQ(all.vt, VT_BOOL);
        EXPECT_EQ(all.boolVal != VARIANT_FALSE, row.resolves);

        CVariant recipient;
        ASSERT_HR(S_OK, Call(recipients.pdispVal, L"Item", {CVariant(1L)}, &recipient));
        EXPECT_EQ(Get(recipient.pdispVal, L"Type").lVal, kRecipientTo);
        EXPECT_EQ(TextOf(Get(recipient.pdispVal, L"Name")), row.name);
        EXPECT_EQ(TextOf(Get(recipient.pdispVal, L"Address")), row.address);
        CVariant entry = Get(recipient.pdispVal, L"AddressEntry");
        ASSERT_EQ(entry.vt, VT_DISPATCH);
        if (!row.resolves) {
            EXPECT_EQ(entry.pdispVal, nullptr);
            continue;
        }
        ASSERT_TRUE(entry.pdispVal);
        EXPECT_EQ(TextOf(Get(entry.pdispVal, L"Type")), row.type);
        EXPECT_EQ(Get(entry.pdispVal, L"DisplayType").lVal, kDisplayUser);
        EXPECT_EQ(TextOf(Get(recipient.pdispVal, L"EntryID")).size(), 128u);
    }

    // The contact's entry leads back to the contact.
    CComPtr<CItem> mail = mailbox.CreateItem(kItemTypeMail);
    CRecipient& carol = mail->Recipients().Add(L"carol@king.org");
    ASSERT_TRUE(carol.Resolve());
    const std::wstring id = TextOf(Get(carol.Dispatch(), L"EntryID"));
    EXPECT_EQ(mailbox.FindByEntryId(id.substr(72, 48)), contact.Get());
}

TEST_F(MailboxTest, DistributionListMembersAndTheToLine)
{
    CAddressEntry& list =
        mailbox.AddressBook().Add(L"Signers", L"", L"EX", kDisplayPrivateDistList);
    list.Members().Add(&mailbox.AddressBook().Add(L"Ann", L"ann@x.org"));
    list.Members().Add(&mailbox.AddressBook().Add(L"Ben", L"/o=Org/cn=ben", L"EX"));
    CComPtr<CItem> mail = mailbox.CreateItem(kItemTypeMail);
    mail->Recipients().Add(L"Signers", kRecipientCc);
    ASSERT_TRUE(mail->Recipients().ResolveAll());

    CVariant recipient;
    CVariant recipients = Get(mail->Dispatch(), L"Recipients");
    ASSERT_HR(S_OK, Call(recipients.pdispVal, L"Item", {CVariant(1L)}, &recipient));
    EXPECT_EQ(Get(recipient.pdispVal, L"DisplayType").lVal, kDisplayPrivateDistList);
    CVariant entry = Get(recipient.pdispVal, L"AddressEntry");
    CVariant members = Get(entry.pdispVal, L"Members");
    ASSERT_EQ(Get(members.pdispVal, L"Count").lVal, 2);
    CVariant second;
    ASSERT_HR(S_OK, Call(members.pdispVal, L"Item", {CVariant(2L)}, &second));
    EXPECT_EQ(TextOf(Get(second.pdispVal, L"Type")), L"EX");
    EXPECT_EQ(TextOf(Get(second.pdispVal, L"Address")), L"/o=Org/cn=ben");
    EXPECT_HR(DISP_E_EXCEPTION, Call(members.pdispVal, L"Item", {CVariant(3L)}));
    // An address entry's identifier is ID; EntryID is the recipient's alone.
    EXPECT_EQ(TextOf(Get(second.pdispVal, L"ID")).size(), 128u);
    CVariant noEntryId;
    EXPECT_HR(DISP_E_UNKNOWNNAME,
              CDispatcher::GetProp(second.pdispVal, L"EntryID", noEntryId.Put()));
    // A user's entry has no members.
    CVariant none = Get(second.pdispVal, L"Members");
    EXPECT_EQ(none.vt, VT_DISPATCH);
    EXPECT_EQ(none.pdispVal, nullptr);

    EXPECT_EQ(TextOf(Get(mail->Dispatch(), L"CC")), L"Signers");
    EXPECT_EQ(TextOf(Get(mail->Dispatch(), L"To")), L"");
    EXPECT_HR(S_OK, Put(mail->Dispatch(), L"To", Text(L" Ann ;; Ben ")));
    EXPECT_EQ(TextOf(Get(mail->Dispatch(), L"To")), L"Ann; Ben");
    EXPECT_EQ(mail->Recipients().Count(), 3u) << "the CC line stays";
}

// ---- user properties ----

TEST_F(MailboxTest, UserPropertiesAsTheAddInUsesThem)
{
    CItem& mail = AddMail(mailbox);
    IDispatch* item = mail.Dispatch();
    CVariant properties = Get(item, L"UserProperties");

    CVariant found;
    ASSERT_HR(S_OK, Call(properties.pdispVal, L"Find", {Text(L"Quillet ID"), Bool(true)}, &found));
    EXPECT_EQ(found.vt, VT_DISPATCH);
    EXPECT_EQ(found.pdispVal, nullptr) << "a missing property is Nothing";
    CVariant byName;
    ASSERT_HR(S_OK, Call(properties.pdispVal, L"Item", {Text(L"Quillet")}, &byName));
    EXPECT_EQ(byName.pdispVal, nullptr);

    ASSERT_HR(S_OK, CDispatcher::SetUserProperty(item, L"Quillet ID", "R-1", TRUE, TRUE));
    ASSERT_HR(S_OK, CDispatcher::SetUserProperty(item, L"Quillet ID", "R-2", TRUE, TRUE));
    CString value;
    EXPECT_HR(S_OK, CDispatcher::GetUserProperty(item, L"quillet id", value));
    EXPECT_STREQ(value, "R-2");
    EXPECT_EQ(mail.UserProperties().Count(), 1u) << "a second Find adds nothing";
    EXPECT_TRUE(mail.Saved());
    ASSERT_EQ(mail.Folder()->FolderFields().size(), 1u);

    // A yes/no property takes a text that reads as one, and refuses others.
    CVariant flag;
    ASSERT_HR(S_OK, Call(properties.pdispVal, L"Add", {Text(L"Quillet"), CVariant(6L)}, &flag));
    EXPECT_HR(S_OK, Put(flag.pdispVal, L"Value", Bool(true)));
    CVariant stored = Get(flag.pdispVal, L"Value");
    EXPECT_EQ(stored.vt, VT_BOOL);
    EXPECT_NE(stored.boolVal, VARIANT_FALSE);
    EXPECT_HR(DISP_E_TYPEMISMATCH, Put(flag.pdispVal, L"Value", Text(L"maybe")));
    EXPECT_EQ(Get(properties.pdispVal, L"Count").lVal, 2);
    CVariant second;
    ASSERT_HR(S_OK, Call(properties.pdispVal, L"Item", {CVariant(2L)}, &second));
    EXPECT_EQ(TextOf(Get(second.pdispVal, L"Name")), L"Quillet");
    EXPECT_HR(DISP_E_EXCEPTION, Call(properties.pdispVal, L"Item", {CVariant(3L)}));
    // The same name as another type is refused.
    EXPECT_HR(DISP_E_EXCEPTION,
              Call(properties.pdispVal, L"Add", {Text(L"quillet"), CVariant(1L)}));
    // A number read as text.
    CUserProperty& count = mail.UserProperties().Add(L"Pages", kPropNumber);
    count.SetValue(CVariant(12L));
    CString pages;
    EXPECT_HR(S_OK, CDispatcher::GetUserProperty(item, L"Pages", pages));
    EXPECT_STREQ(pages, "12");
}

TEST_F(MailboxTest, FolderRefusingFieldsMakesTheAddInRetryWithout)
{
    mailbox.DefaultFolder(kFolderTasks)->SetRefusesFolderFields(true);
    CComPtr<CItem> task = mailbox.CreateItem(kItemTypeTask);
    task->Save();
    ASSERT_HR(S_OK, CDispatcher::SetUserProperty(task->Dispatch(), L"eSigners", "Ann", TRUE, TRUE));
    // Refused with the folder's fields (a method that fails is not tried
    // again as a property read), then taken without.
    const auto adds = CallLog().Of(L"UserProperties", L"Add");
    ASSERT_EQ(adds.size(), 2u) << ToUtf8(CallLog().Dump());
    EXPECT_HR(DISP_E_EXCEPTION, adds[0].result);
    EXPECT_EQ(adds[1].args[2], L"False");
    EXPECT_HR(S_OK, adds[1].result);
    EXPECT_EQ(task->UserProperties().Find(L"eSigners")->Text(), L"Ann");
    EXPECT_TRUE(mailbox.DefaultFolder(kFolderTasks)->FolderFields().empty());
}

// ---- the items' life ----

TEST_F(MailboxTest, ItemAddOnceWhenSavedIntoTheInbox)
{
    CFolder* inbox = mailbox.DefaultFolder(kFolderInbox);
    CSink sink(inbox->Items().Dispatch(), kItemsEvents);
    CVariant items = Get(inbox->Dispatch(), L"Items");
    CVariant added;
    ASSERT_HR(S_OK, Call(items.pdispVal, L"Add", {CVariant(0L)}, &added));
    EXPECT_TRUE(sink.events.empty()) << "a new item is in no folder before Save";
    EXPECT_EQ(TextOf(Get(added.pdispVal, L"EntryID")), L"");

    ASSERT_HR(S_OK, Call(added.pdispVal, L"Save", {}));
    ASSERT_EQ(sink.Count(kDispItemAdd), 1u);
    ASSERT_EQ(sink.events[0].args.size(), 1u);
    EXPECT_EQ(sink.events[0].args[0].pdispVal, added.pdispVal);
    const std::wstring id = TextOf(Get(added.pdispVal, L"EntryID"));
    EXPECT_EQ(id.size(), 48u);
    EXPECT_EQ(mailbox.FindByEntryId(id)->Dispatch(), added.pdispVal);

    ASSERT_HR(S_OK, Call(added.pdispVal, L"Save", {}));
    EXPECT_EQ(sink.Count(kDispItemAdd), 1u);
    EXPECT_EQ(sink.Count(kDispItemChange), 1u);

    // Created elsewhere, a mail is saved into Drafts, a task into Tasks.
    CComPtr<CItem> draft = mailbox.CreateItem(kItemTypeMail);
    draft->Save();
    EXPECT_EQ(draft->Folder(), mailbox.DefaultFolder(kFolderDrafts));
    CComPtr<CItem> task = mailbox.CreateItem(kItemTypeTask);
    ASSERT_HR(S_OK, Call(task->Dispatch(), L"Save", {}));
    EXPECT_EQ(task->Folder(), mailbox.DefaultFolder(kFolderTasks));
    EXPECT_EQ(Get(task->Dispatch(), L"Class").lVal, kClassTask);
    EXPECT_EQ(sink.Count(kDispItemAdd), 1u);
    EXPECT_FALSE(mailbox.CreateItem(7));
}

TEST_F(MailboxTest, DeleteGoesThroughDeletedItems)
{
    CItem& mail = AddMail(mailbox);
    CSink inbox(mailbox.DefaultFolder(kFolderInbox)->Items().Dispatch(), kItemsEvents);
    CSink deleted(mailbox.DefaultFolder(kFolderDeletedItems)->Items().Dispatch(), kItemsEvents);
    CComPtr<CItem> held(&mail);
    ASSERT_HR(S_OK, Call(mail.Dispatch(), L"Delete", {}));
    EXPECT_EQ(inbox.Count(kDispItemRemove), 1u);
    EXPECT_EQ(deleted.Count(kDispItemAdd), 1u);
    EXPECT_EQ(held->Folder(), mailbox.DefaultFolder(kFolderDeletedItems));

    ASSERT_HR(S_OK, Call(held->Dispatch(), L"Delete", {}));
    EXPECT_EQ(deleted.Count(kDispItemRemove), 1u);
    EXPECT_TRUE(held->Gone());
    EXPECT_FALSE(mailbox.FindByEntryId(held->EntryId()));
    EXPECT_HR(DISP_E_EXCEPTION, Call(held->Dispatch(), L"Save", {}));
}

TEST_F(MailboxTest, CloseRaisesCloseAndSavesOrDiscards)
{
    CItem& mail = AddMail(mailbox);
    mail.SetSubject(L"saved");
    mail.Save();
    CSink sink(mail.Dispatch(), kItemEvents);

    mail.SetSubject(L"changed");
    ASSERT_HR(S_OK, Call(mail.Dispatch(), L"Close", {CVariant(1L)}));
    ASSERT_EQ(sink.Count(kDispClose), 1u);
    ASSERT_EQ(sink.events[0].args.size(), 1u);
    EXPECT_EQ(sink.events[0].args[0].vt, VT_BOOL | VT_BYREF);
    EXPECT_EQ(mail.Subject(), L"saved") << "discarded";

    mail.SetSubject(L"kept");
    ASSERT_HR(S_OK, Call(mail.Dispatch(), L"Close", {CVariant(0L)}));
    EXPECT_TRUE(mail.Saved());
    EXPECT_EQ(mail.Subject(), L"kept");

    // A sink that cancels keeps the item open and unsaved.
    sink.answer = [](DISPID, DISPPARAMS& params) { *params.rgvarg[0].pboolVal = VARIANT_TRUE; };
    mail.SetSubject(L"open");
    EXPECT_FALSE(mail.CloseWindow(0));
    EXPECT_FALSE(mail.Saved());
    EXPECT_EQ(mail.Closes(), 2);
}

TEST_F(MailboxTest, TaskCompletionMovesTogether)
{
    CComPtr<CItem> task = mailbox.CreateItem(kItemTypeTask);
    IDispatch* item = task->Dispatch();
    EXPECT_HR(S_OK, Put(item, L"Status", CVariant(1L)));
    EXPECT_HR(S_OK, Put(item, L"PercentComplete", CVariant(100L)));
    EXPECT_NE(Get(item, L"Complete").boolVal, VARIANT_FALSE);
    EXPECT_EQ(Get(item, L"Status").lVal, kTaskComplete);
    EXPECT_NE(Get(item, L"DateCompleted").date, kNoDate);
    EXPECT_HR(S_OK, Put(item, L"Complete", Bool(false)));
    EXPECT_EQ(Get(item, L"PercentComplete").lVal, 0);
    EXPECT_EQ(Get(item, L"Status").lVal, kTaskNotStarted);
    EXPECT_EQ(Get(item, L"DueDate").vt, VT_DATE);
    EXPECT_EQ(Get(item, L"DueDate").date, kNoDate);
    CVariant when;
    when.vt = VT_DATE;
    when.date = MakeDate(2026, 12, 24);
    EXPECT_HR(S_OK, Put(item, L"StartDate", when));
    EXPECT_EQ(task->Date(L"StartDate"), MakeDate(2026, 12, 24));
    EXPECT_HR(DISP_E_MEMBERNOTFOUND, Put(item, L"CreationTime", when)) << "read-only";
    EXPECT_HR(DISP_E_TYPEMISMATCH, Put(item, L"Status", Text(L"lots")));
}

TEST_F(MailboxTest, InjectedFailureStopsTheSave)
{
    CFolder* inbox = mailbox.DefaultFolder(kFolderInbox);
    CSink sink(inbox->Items().Dispatch(), kItemsEvents);
    CComPtr<CItem> mail = mailbox.CreateItem(kItemTypeMail);
    mail->SetHomeFolder(inbox);
    // Late binding calls a method that fails once: Save is not run again.
    CallLog().Inject(L"MailItem", L"Save", E_ACCESSDENIED, 1);
    EXPECT_HR(E_ACCESSDENIED, Call(mail->Dispatch(), L"Save", {}));
    EXPECT_FALSE(mail->Saved());
    EXPECT_TRUE(sink.events.empty());
    EXPECT_HR(S_OK, Call(mail->Dispatch(), L"Save", {})) << "only the next call failed";
    EXPECT_EQ(sink.Count(kDispItemAdd), 1u);
    const auto saves = CallLog().Of(L"MailItem", L"Save");
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_HR(E_ACCESSDENIED, saves[0].result);
    EXPECT_HR(S_OK, saves[1].result);
}

} // namespace
