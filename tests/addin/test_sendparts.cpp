// What a mail becomes when it is sent for signature, in the Outlook
// stand-in: its recipients become signers with SMTP addresses (SMTP and
// Exchange users, contacts, distribution lists nested and cyclic, the
// Exchange directory through the stand-in MAPI provider), its attachments
// become documents as the "FileTypes" setting says, and the user is asked
// about the attachments that are left out.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include "addin/AddinResource.h"
#include "addin/send/CollectAttachments.h"
#include "addin/send/DlgBadAttach.h"
#include "addin/send/SendRecipients.h"
#include "shared/requests/BodyPart.h"
#include "shared/service/OpSendDoc.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/model/AddressBook.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Attachments.h"
#include "standins/outlook/model/Recipients.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/support/FakeDispatch.h"
#include "tests/support/HResultText.h"
#include "tests/support/MapiStandIn.h"
#include "tests/support/TestEnv.h"

using namespace standin;
using namespace testenv;

namespace {

constexpr wchar_t kJohnExchange[] = L"/o=Org/ou=Site/cn=Recipients/cn=jdoe";
constexpr wchar_t kNobodyExchange[] = L"/o=Org/ou=Site/cn=Recipients/cn=nobody";

// The request's signers, head first: "name <address> type sequence".
std::vector<std::string> Signers(const OpSendDoc& request)
{
    std::vector<std::string> signers;
    for (const CRecip* signer : request.m_request.m_signers) {
        EXPECT_EQ(1, signer->m_fromMail) << signer->m_email;
        signers.push_back(signer->m_name.str() + " <" + signer->m_email.str() + "> " +
                          std::to_string(signer->m_recipType) + " " +
                          std::to_string(signer->m_sequence));
    }
    return signers;
}

// The request's parts: "display name|index|kind".
std::vector<std::string> Parts(const OpSendDoc& request)
{
    std::vector<std::string> parts;
    for (const CBodyPart* part : request.m_parts)
        parts.push_back(part->m_fileName.str() + "|" + std::to_string(part->m_index) + "|" +
                        part->m_kind.str());
    return parts;
}

class SendPartsTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        m_mapi = std::make_unique<CMapiStandIn>(TempDir());
        ASSERT_TRUE(m_mapi->Register()) << "mapistandin.dll is not beside the test program";
        m_mapi->Directory("identity=jdoe\ngals=1\n"
                          "[user jdoe]\nname=John Doe\ntype=EX\n"
                          "address=/o=Org/ou=Site/cn=Recipients/cn=jdoe\n"
                          "proxy=smtp:jd@example.net\nproxy=SMTP:John.Doe@example.com\n"
                          "[user nobody]\nname=No Proxy\ntype=EX\n"
                          "address=/o=Org/ou=Site/cn=Recipients/cn=nobody\n"
                          "proxy=X400:c=US;a= ;p=Org;o=Site;s=Nobody\n");
        m_app = New<CApplication>();
        CallLog().Clear();
    }
    void TearDown() override
    {
        CallLog().ClearInjections();
        m_app->Quit();
        m_app.Release();
        m_mapi.reset();
        CleanProfileTest::TearDown();
    }

    CAddressBook& Book() { return m_app->Mailbox().AddressBook(); }

    // A saved contact, and the address entry Outlook makes of it.
    CAddressEntry& Contact(const std::wstring& fullName, const std::wstring& email1,
                           const std::wstring& email2 = L"", const std::wstring& email3 = L"")
    {
        CComPtr<CItem> contact = m_app->Mailbox().CreateItem(kItemTypeContact);
        contact->SetText(L"FullName", fullName);
        contact->SetText(L"Email1Address", email1);
        contact->SetText(L"Email2Address", email2);
        contact->SetText(L"Email3Address", email3);
        contact->Save();
        const std::wstring address = email1.find(L'@') != std::wstring::npos ? email1 : email2;
        return Book().AddWithId(fullName + L" (" + address + L")", address, L"SMTP", kDisplayUser,
                                contact->EntryId());
    }

    std::unique_ptr<CMapiStandIn> m_mapi;
    CComPtr<CApplication> m_app;
};

// ---------------------------------------------------------------- recipients

TEST_F(SendPartsTest, RecipientsBecomeSignersWithSmtpAddresses)
{
    CAddressEntry& ann = Book().Add(L"Ann Smith", L"ann@x.com");
    CAddressEntry& bob = Book().Add(L"Bob (bob@x.com)", L"bob@x.com");
    CAddressEntry& cy = Book().Add(L"<cy@x.com>", L"cy@x.com");
    CAddressEntry& dee = Book().Add(L"Dee", L"dee@x.com");
    CAddressEntry& eve = Book().Add(L"Eve [eve@x.com]", L"eve@x.com");
    CAddressEntry& john = Book().Add(L"John Doe", kJohnExchange, L"EX");
    CAddressEntry& nobody = Book().Add(L"No Proxy", kNobodyExchange, L"EX");
    CAddressEntry& board = Book().Add(L"Board", L"/o=Org/cn=board", L"EX", kDisplayForum);
    CAddressEntry& team = Book().Add(L"Team", L"", L"MAPIPDL", kDisplayPrivateDistList);
    team.Members().Add(&ann);
    team.Members().Add(&bob);
    CAddressEntry& all = Book().Add(L"All", L"/o=Org/cn=all", L"EX", kDisplayDistList);
    all.Members().Add(&team);
    all.Members().Add(&cy);
    CAddressEntry& loopA = Book().Add(L"Loop A", L"", L"MAPIPDL", kDisplayPrivateDistList);
    CAddressEntry& loopB = Book().Add(L"Loop B", L"", L"MAPIPDL", kDisplayPrivateDistList);
    loopA.Members().Add(&loopB);
    loopA.Members().Add(&dee);
    loopB.Members().Add(&loopA);
    loopB.Members().Add(&eve);
    CAddressEntry& jane = Contact(L"Smith, Jane", L"/o=Org/cn=jane", L"jane@x.com");
    CAddressEntry& friends = Book().Add(L"Friends", L"", L"MAPIPDL", kDisplayPrivateDistList);
    friends.Members().Add(&jane);

    struct Recipient {
        CAddressEntry* entry; // null: typed, unresolved
        long type;
    };
    struct Injection {
        const wchar_t* kind = nullptr;
        const wchar_t* member = nullptr;
        HRESULT hr = S_OK;
    };
    struct Case {
        const char* what;
        std::vector<Recipient> recipients;
        std::vector<std::string> signers; // head first
        int toCount;
        HRESULT hr;
        const char* credentials = "";
        int senderIsRecipient = 0;
        Injection injection = {};
    } cases[] = {
        {"an SMTP user", {{&ann, 1}}, {"Ann Smith <ann@x.com> 1 -1"}, 1, S_OK},
        {"names that hold their address",
         {{&bob, 1}, {&cy, 2}, {&eve, 1}},
         {"Eve <eve@x.com> 1 -1", "cy@x.com <cy@x.com> 2 -1", "Bob <bob@x.com> 1 -1"},
         2,
         S_OK},
        {"an Exchange user, through the directory",
         {{&john, 1}},
         {"John Doe <John.Doe@example.com> 1 -1"},
         1,
         S_OK},
        {"an Exchange user without SMTP address", {{&nobody, 1}}, {}, 0, S_OK},
        {"a forum", {{&board, 1}}, {}, 0, S_OK},
        {"a private list's members, in reverse",
         {{&team, 2}},
         {"Bob <bob@x.com> 2 -1", "Ann Smith <ann@x.com> 2 -1"},
         0,
         S_OK},
        {"a list within a list",
         {{&all, 1}},
         {"cy@x.com <cy@x.com> 1 -1", "Bob <bob@x.com> 1 -1", "Ann Smith <ann@x.com> 1 -1"},
         3,
         S_OK},
        {"lists that hold each other, each expanded once",
         {{&loopA, 1}},
         {"Dee <dee@x.com> 1 -1", "Eve <eve@x.com> 1 -1"},
         2,
         S_OK},
        {"a contact, by its full name", {{&jane, 1}}, {"Jane Smith <jane@x.com> 1 -1"}, 1, S_OK},
        {"a contact in a list, by its full name",
         {{&friends, 2}},
         {"Jane Smith <jane@x.com> 2 -1"},
         0,
         S_OK},
        {"the sender among the recipients",
         {{&ann, 1}, {&bob, 2}},
         {"Bob <bob@x.com> 2 -1", "Ann Smith <ann@x.com> 1 -1"},
         1,
         S_OK,
         "ann@x.com",
         1},
        {"the sender's address written otherwise",
         {{&ann, 1}},
         {"Ann Smith <ann@x.com> 1 -1"},
         1,
         S_OK,
         "Ann@x.com",
         0},
        {"an unresolved recipient",
         {{&ann, 1}, {nullptr, 1}},
         {"Ann Smith <ann@x.com> 1 -1"},
         1,
         E_FAIL},
        {"the recipient's entry cannot be read",
         {{&ann, 1}},
         {},
         0,
         E_ACCESSDENIED,
         "",
         0,
         {L"Recipient", L"AddressEntry", E_ACCESSDENIED}},
        {"a list's members cannot be read",
         {{&team, 1}},
         {},
         0,
         E_ACCESSDENIED,
         "",
         0,
         {L"AddressEntry", L"Members", E_ACCESSDENIED}},
        {"a list's member count cannot be read",
         {{&team, 1}},
         {},
         0,
         E_ACCESSDENIED,
         "",
         0,
         {L"AddressEntries", L"Count", E_ACCESSDENIED}},
        {"a list's member cannot be had",
         {{&team, 1}},
         {},
         0,
         E_ACCESSDENIED,
         "",
         0,
         {L"AddressEntries", L"Item", E_ACCESSDENIED}},
        {"a member's type cannot be read",
         {{&all, 1}},
         {},
         0,
         E_ACCESSDENIED,
         "",
         0,
         {L"AddressEntry", L"Type", E_ACCESSDENIED}},
        {"a display type that cannot be read counts as a user's",
         {{&ann, 1}},
         {"Ann Smith <ann@x.com> 1 -1"},
         1,
         S_OK,
         "",
         0,
         {L"Recipient", L"DisplayType", E_ACCESSDENIED}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CComPtr<CItem> mail = m_app->Mailbox().CreateItem(kItemTypeMail);
        for (const Recipient& r : c.recipients) {
            if (r.entry)
                mail->Recipients().Add(*r.entry, r.type);
            else
                mail->Recipients().Add(L"somebody", r.type);
        }
        if (c.injection.kind)
            CallLog().Inject(c.injection.kind, c.injection.member, c.injection.hr);

        OpSendDoc request("http://127.0.0.1/");
        CCredentials credentials;
        credentials.m_email = c.credentials;
        int toCount = 0;
        CSendRecipients button(m_app->Dispatch(), credentials, toCount);
        BOOL found = FALSE;
        HRESULT hr = S_OK;
        for (size_t i = 0; i < mail->Recipients().Count() && SUCCEEDED(hr); ++i) {
            CRecipID id;
            hr = button.ProcessRecipient(mail->Recipients().At(i)->Dispatch(), id,
                                         c.recipients[i].type, &request, found, TRUE);
        }
        CallLog().ClearInjections();

        EXPECT_HR(c.hr, hr);
        EXPECT_EQ(c.signers, Signers(request));
        EXPECT_EQ(c.toCount, toCount);
        EXPECT_EQ(c.signers.empty() ? FALSE : TRUE, found) << "set once a signer is made";
        EXPECT_EQ(c.senderIsRecipient, request.m_request.m_senderIsRecipient);
    }
}

TEST_F(SendPartsTest, AContactGivesItsNameAndFirstSmtpAddress)
{
    struct Case {
        const char* what;
        std::wstring fullName;
        std::wstring email1;
        std::wstring email2;
        std::wstring email3;
        // The identity record.
        std::string first;
        std::string last;
        std::string full;
        std::string email;
    } cases[] = {
        {"the first address", L"Jane Smith", L"jane@x.com", L"j2@x.com", L"", "Jane", "Smith",
         "Jane Smith", "jane@x.com"},
        {"an Exchange first address", L"Smith, Jane", L"/o=Org/cn=jane", L"jane@x.com", L"", "Jane",
         "Smith", "Jane Smith", "jane@x.com"},
        {"only the third holds an @", L"Jane", L"", L"no address", L"j3@x.com", "", "", "Jane",
         "j3@x.com"},
        {"no address anywhere", L"Jane Paul Smith", L"/o=Org/cn=jane", L"", L"", "Jane",
         "Paul Smith", "Jane Paul Smith", "/o=Org/cn=jane"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAddressEntry& entry = Contact(c.fullName, c.email1, c.email2, c.email3);
        CComPtr<CItem> mail = m_app->Mailbox().CreateItem(kItemTypeMail);
        CRecipient& recipient = mail->Recipients().Add(entry, 1);

        CCredentials credentials;
        int toCount = 0;
        CSendRecipients button(m_app->Dispatch(), credentials, toCount);
        CRecipID id;
        EXPECT_HR(S_OK, button.GetContactInfoFromRecip(recipient.Dispatch(), id));
        EXPECT_EQ(c.first, id.m_firstName.str());
        EXPECT_EQ(c.last, id.m_lastName.str());
        EXPECT_EQ(c.full, id.m_fullName.str());
        EXPECT_EQ(c.email, id.m_email.str());
        EXPECT_EQ(entry.OwnId(), std::wstring(id.m_extra.str().begin(), id.m_extra.str().end()))
            << "the contact's item ID is kept";
    }

    // A user who is no contact: the record stays empty.
    CAddressEntry& stranger = Book().Add(L"Stranger", L"s@x.com");
    CComPtr<CItem> mail = m_app->Mailbox().CreateItem(kItemTypeMail);
    CCredentials credentials;
    int toCount = 0;
    CSendRecipients button(m_app->Dispatch(), credentials, toCount);
    CRecipID id;
    EXPECT_TRUE(
        FAILED(button.GetContactInfoFromRecip(mail->Recipients().Add(stranger, 1).Dispatch(), id)));
    EXPECT_TRUE(id.m_fullName.IsEmpty() && id.m_email.IsEmpty());

    // Entry IDs too short to hold an item ID name no contact, and are not
    // read beyond their end.
    const std::vector<std::wstring> shortIds = {L"", L"00AB", std::wstring(100, L'0')};
    for (const std::wstring& entryId : shortIds) {
        SCOPED_TRACE(std::to_string(entryId.size()) + " digits");
        auto recipient = CFakeDispatch::Create();
        recipient->Prop(L"EntryID", entryId.c_str());
        CallLog().Clear();
        CRecipID shortId;
        EXPECT_TRUE(FAILED(button.GetContactInfoFromRecip(recipient.Get(), shortId)));
        EXPECT_EQ(0u, CallLog().Count(L"NameSpace", L"GetItemFromID")) << CallLog().Dump();
        EXPECT_TRUE(shortId.m_extra.IsEmpty());
    }
}

TEST_F(SendPartsTest, DisplayNamesLoseTheirAddress)
{
    struct Case {
        const char* name;
        const char* cleaned;
    } cases[] = {
        {"Jane Doe <jane@x.com>", "Jane Doe"},
        {"Jane Doe (jane@x.com)", "Jane Doe"},
        {"  Jane Doe   [jane@x.com]", "Jane Doe"},
        {"Doe, Jane (Sales) <jane@x.com>", "Doe, Jane"},
        {"<jane@x.com>", ""},
        {"Jane Doe (Sales)", "Jane Doe (Sales)"},
        {"jane@x.com", "jane@x.com"},
        {"", ""},
    };
    for (const Case& c : cases) {
        CString name = c.name;
        CleanDisplayName(name);
        EXPECT_STREQ(c.cleaned, name) << c.name;
    }
}

// --------------------------------------------------------------- attachments

TEST_F(SendPartsTest, AttachmentsAreSentAsTheFileTypesSay)
{
    struct File {
        long type;
        const wchar_t* fileName;
    };
    const File files[] = {
        {1, L"a.pdf"}, {1, L"a.doc"},   {1, L"README"}, {5, L"Fwd.msg"}, {1, L"x.tar.gz"},
        {4, L"b.pdf"}, {1, L"notes.c"}, {1, L"B.PDF"},  {6, L"clip"},    {1, L"file."},
    };
    struct Case {
        const char* what;
        const char* fileTypes; // null: not set
        std::vector<std::string> sent;
        std::string unsupported;
        int count;
    } cases[] = {
        {"pdf",
         "pdf",
         {"Doc a.pdf|1", "Doc b.pdf|6"},
         "a.doc,README,x.tar.gz,notes.c,B.PDF,file.",
         4},
        {"every type",
         "*",
         {"Doc a.pdf|1", "Doc a.doc|2", "Doc x.tar.gz|5", "Doc b.pdf|6", "Doc notes.c|7",
          "Doc B.PDF|8", "Doc file.|10"},
         "README",
         9},
        {"not set: every type",
         nullptr,
         {"Doc a.pdf|1", "Doc a.doc|2", "Doc x.tar.gz|5", "Doc b.pdf|6", "Doc notes.c|7",
          "Doc B.PDF|8", "Doc file.|10"},
         "README",
         9},
        {"the last extension counts",
         "pdf,gz",
         {"Doc a.pdf|1", "Doc x.tar.gz|5", "Doc b.pdf|6"},
         "a.doc,README,notes.c,B.PDF,file.",
         5},
        {"a tail of a listed type",
         "doc",
         {"Doc a.doc|2", "Doc notes.c|7"},
         "a.pdf,README,x.tar.gz,b.pdf,B.PDF,file.",
         4},
        {"an empty list", "", {}, "a.pdf,a.doc,README,x.tar.gz,b.pdf,notes.c,B.PDF,file.", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.fileTypes)
            WriteText(kProductKey, "FileTypes", c.fileTypes);
        else
            SHDeleteValueA(HKEY_CURRENT_USER, kProductKey, "FileTypes");
        CComPtr<CItem> mail = m_app->Mailbox().CreateItem(kItemTypeMail);
        for (const File& file : files)
            mail->Attachments().Add(file.type, file.fileName, std::wstring(L"Doc ") + file.fileName,
                                    "bytes", 0);

        OpSendDoc request("http://127.0.0.1/");
        int count = -7;
        CString unsupported = "junk";
        EXPECT_HR(S_OK, CollectAttachments(mail->Dispatch(), &request, count, unsupported));

        std::vector<std::string> expected = {"Message Body|0|Message Body"};
        for (const std::string& sent : c.sent)
            expected.push_back(sent + "|Attachment");
        EXPECT_EQ(expected, Parts(request));
        EXPECT_EQ(mail->Dispatch(), request.m_parts.GetHead()->Object()) << "the body is the mail";
        EXPECT_EQ(c.unsupported, unsupported.str());
        EXPECT_EQ(c.count, count);
    }
}

TEST_F(SendPartsTest, AttachmentsOutlookCannotReadAreNeitherSentNorListed)
{
    WriteText(kProductKey, "FileTypes", "pdf");
    CComPtr<CItem> mail = m_app->Mailbox().CreateItem(kItemTypeMail);
    mail->Attachments().Add(1, L"a.pdf", L"A", "bytes", 0);
    mail->Attachments().Add(1, L"b.pdf", L"B", "bytes", 0);
    mail->Attachments().Add(1, L"c.doc", L"C", "bytes", 0);
    struct Case {
        const char* what;
        const wchar_t* kind;
        const wchar_t* member;
        int times;
        HRESULT hr;
        std::vector<std::string> parts;
        std::string unsupported;
        int count;
    } cases[] = {
        {"no attachments to be had",
         L"MailItem",
         L"Attachments",
         -1,
         E_ACCESSDENIED,
         {"Message Body|0|Message Body"},
         "",
         0},
        {"no count to be had",
         L"Attachments",
         L"Count",
         -1,
         E_ACCESSDENIED,
         {"Message Body|0|Message Body"},
         "",
         0},
        {"an attachment that cannot be had",
         L"Attachments",
         L"Item",
         1,
         S_OK,
         {"Message Body|0|Message Body", "B|2|Attachment"},
         "c.doc",
         2},
        {"a display name that cannot be read",
         L"Attachment",
         L"DisplayName",
         1,
         S_OK,
         {"Message Body|0|Message Body", "B|2|Attachment"},
         "c.doc",
         2},
        {"an index that cannot be read",
         L"Attachment",
         L"Index",
         1,
         S_OK,
         {"Message Body|0|Message Body", "B|2|Attachment"},
         "c.doc",
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CallLog().Inject(c.kind, c.member, E_ACCESSDENIED, c.times);
        OpSendDoc request("http://127.0.0.1/");
        int count = -7;
        CString unsupported = "junk";
        EXPECT_HR(c.hr, CollectAttachments(mail->Dispatch(), &request, count, unsupported));
        CallLog().ClearInjections();
        EXPECT_EQ(c.parts, Parts(request));
        EXPECT_EQ(c.unsupported, unsupported.str());
        EXPECT_EQ(c.count, count);
    }
}

TEST_F(SendPartsTest, TheUserIsAskedAboutAttachmentsLeftOut)
{
    struct Case {
        const char* what;
        const char* unsupported;
        bool tick;
        int press;
        std::vector<std::string> shown; // top to bottom
    } cases[] = {
        {"Yes", "a.doc,README", false, IDOK, {"README", "a.doc"}},
        {"No, not to be told again",
         "a.doc,README,x.tar.gz",
         true,
         IDCANCEL,
         {"x.tar.gz", "README", "a.doc"}},
        {"Yes, not to be told again", "a.doc", true, IDOK, {"a.doc"}},
        {"nothing listed", "", false, IDCANCEL, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> shown;
        bool iconShown = false;
        CScriptedUser user;
        user.Expect("Unsupported Attachment Type")
            .Do("read the list",
                [&](HWND dialog) {
                    HWND list = GetDlgItem(dialog, IDC_BAD_ATTACH_LIST);
                    const int rows = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
                    for (int row = 0; row < rows; ++row) {
                        char text[256] = {};
                        SendMessageA(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
                        shown.push_back(text);
                    }
                    iconShown =
                        SendDlgItemMessageA(dialog, IDC_BAD_ATTACH_ICON, STM_GETICON, 0, 0) != 0;
                    return true;
                })
            .Check(IDC_BAD_ATTACH_DONT_SHOW, c.tick)
            .Click(c.press);
        user.Start();
        CDlgBadAttach dialog(c.unsupported);
        const INT_PTR answer = dialog.DoModal();
        user.Stop();
        EXPECT_TRUE(user.Finished()) << user.Report();
        EXPECT_EQ(c.press, answer);
        EXPECT_EQ(c.tick ? TRUE : FALSE, dialog.m_dontShowAgain);
        EXPECT_EQ(c.shown, shown);
        EXPECT_TRUE(iconShown);
    }

    // The close box is a "No"; the tick counts there too.
    CScriptedUser user;
    user.Expect("Unsupported Attachment Type").Check(IDC_BAD_ATTACH_DONT_SHOW, true).Close();
    user.Start();
    CDlgBadAttach dialog("a.doc");
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    user.Stop();
    EXPECT_TRUE(user.Finished()) << user.Report();
    EXPECT_TRUE(dialog.m_dontShowAgain);
}

} // namespace
