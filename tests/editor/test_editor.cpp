// The editor's main dialog and its template commands, driven by the
// scripted user as a person drives them, checked on what the user sees and
// on the template files the add-in's reader gets back.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "editor/EditorResource.h"
#include "shared/requests/TempMgr.h"
#include "shared/requests/Template.h"
#include "tests/editor/EditorTest.h"
#include "tests/support/TestBase64.h"

using namespace testenv;
using standin::Base64Decode;
using standin::Base64Encode;

namespace {

constexpr char kNewCaption[] = "New Template";
constexpr char kErrorCaption[] = "Quillet Error";
constexpr char kDeleteCaption[] = "Confirm Delete";
constexpr char kDocumentPicker[] = "Open e-Signature TempDoc";

// The template as the add-in's library reads it back from the folder.
std::unique_ptr<CTemplate> ReadBack(const std::string& path)
{
    auto tmpl = std::make_unique<CTemplate>();
    EXPECT_EQ(S_OK, tmpl->LoadXML(path.c_str())) << path;
    return tmpl;
}

// Signers as the reader lists them: "name|email|role|sequence|sender|hardcoded".
std::vector<std::string> Signers(const CTemplate& tmpl)
{
    std::vector<std::string> out;
    for (const CRecip* signer : tmpl.m_signers) {
        out.push_back(signer->m_name.str() + "|" + signer->m_email.str() + "|" +
                      signer->m_role.str() + "|" + std::to_string(signer->m_sequence) + "|" +
                      std::to_string(signer->m_sender) + "|" + std::to_string(signer->m_hardCoded));
    }
    return out;
}

CScriptedUser& PickTemplate(CScriptedUser& user, const std::string& name)
{
    return user.Expect(kMainCaption).PickComboItem(IDC_TEMPLATE_LIST, name);
}

} // namespace

// ---- New ----

TEST_F(EditorTest, NewWritesTheTemplateAtOnce)
{
    const struct {
        const char* row;
        bool senderSigns;
        std::vector<std::string> signers; // as read back: reverse file order
    } rows[] = {
        {.row = "recipient only",
         .senderSigns = false,
         .signers = {"Recipient|recipient@example.com|Customer|1|0|0"}},
        {.row = "sender signs as Buyer",
         .senderSigns = true,
         .signers = {"Recipient|recipient@example.com|Customer|1|0|0",
                     "Sender|sender@example.com|Buyer|2|1|0"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        DeleteFileA(TemplatePath("Offer").c_str());
        std::vector<std::string> states;
        CScriptedUser user(Quick());
        user.Expect(kMainCaption);
        NoteToolbar(user, ID_SAVE_TEMPLATE, "Save", states);
        ClickToolbar(user, ID_NEW_TEMPLATE, "New Template");
        user.Expect(kNewCaption).Type(IDC_NEW_NAME, "Offer");
        user.PickComboItem(IDC_NEW_DOCUMENT, "<Outlook Attachment>");
        if (row.senderSigns)
            user.Check(IDC_NEW_SENDER_SIGNS).Type(IDC_NEW_SENDER_ROLE, "Buyer");
        user.Click(IDOK).Expect(kMainCaption);
        user.Do("sees the template written",
                [this](HWND) { return FileExists(TemplatePath("Offer")); });
        NoteToolbar(user, ID_SAVE_TEMPLATE, "Save", states);
        NoteToolbar(user, ID_SEND_TEMPLATE, "Send", states);
        user.Close();
        Run(user);

        EXPECT_EQ((std::vector<std::string>{"Save-", "Save-", "Send+"}), states);
        auto tmpl = ReadBack(TemplatePath("Offer"));
        EXPECT_EQ("Offer", tmpl->m_name.str());
        EXPECT_EQ(row.signers, Signers(*tmpl));
        EXPECT_EQ("e-Signature Request", tmpl->m_subject.str());
        ASSERT_TRUE(tmpl->m_signatureDoc);
        EXPECT_EQ("<Outlook Attachment>", tmpl->m_signatureDoc->m_key.str());
        EXPECT_EQ("Signature", tmpl->m_signatureDoc->m_type.str());
        EXPECT_EQ(2, tmpl->m_sendOptions.m_positioning) << "automatic is written as 2";
        EXPECT_EQ(0, tmpl->m_sendOptions.m_sendMode);
    }
}

TEST_F(EditorTest, NewOkWaitsForNameDocumentAndRole)
{
    std::vector<std::string> seen;
    auto noteOk = [&seen](CScriptedUser& user, const std::string& when) -> CScriptedUser& {
        return user.Do("looks at OK", [&seen, when](HWND dialog) {
            seen.push_back(when + (IsWindowEnabled(GetDlgItem(dialog, IDOK)) ? "+" : "-"));
            return true;
        });
    };
    CScriptedUser user(Quick());
    user.Expect(kMainCaption);
    ClickToolbar(user, ID_NEW_TEMPLATE, "New Template");
    user.Expect(kNewCaption);
    noteOk(user, "empty");
    user.Type(IDC_NEW_NAME, "Offer");
    noteOk(user, "name");
    user.PickComboItem(IDC_NEW_DOCUMENT, "<Outlook Attachment>");
    noteOk(user, "document");
    user.Check(IDC_NEW_SENDER_SIGNS);
    noteOk(user, "sender without role");
    user.Check(IDC_NEW_SENDER_SIGNS, false);
    noteOk(user, "sender unchecked");
    user.Click(IDCANCEL).Expect(kMainCaption).Close();
    Run(user);
    EXPECT_EQ((std::vector<std::string>{"empty-", "name-", "document+", "sender without role-",
                                        "sender unchecked+"}),
              seen);
    EXPECT_EQ(std::vector<std::string>{}, ListFiles(Folder())) << "cancel writes nothing";
}

TEST_F(EditorTest, NamesThatLeaveTheFolderAreRefused)
{
    // COM and LPT with a superscript digit are devices too, in the bytes
    // of whichever code page the user types in.
    char superscript[16] = {};
    WideCharToMultiByte(CP_ACP, 0, L"COM\u00b9", -1, superscript, sizeof superscript, nullptr,
                        nullptr);
    for (const std::string& name :
         {std::string("..\\Escape"), std::string("sub\\Offer"), std::string("C:Offer"),
          std::string("con"), std::string("Offer?"), std::string(250, 'x'),
          std::string(superscript)}) {
        SCOPED_TRACE(name.substr(0, 20));
        CScriptedUser user(Quick());
        user.Expect(kMainCaption);
        ClickToolbar(user, ID_NEW_TEMPLATE, "New Template");
        user.Expect(kNewCaption).Type(IDC_NEW_NAME, name);
        user.PickComboItem(IDC_NEW_DOCUMENT, "<Outlook Attachment>").Click(IDOK);
        user.Expect(kErrorCaption).Read(IDC_EDIT_ERROR_MESSAGE).Click(IDOK);
        user.Expect(kNewCaption).Click(IDCANCEL).Expect(kMainCaption).Close();
        Run(user);
        EXPECT_EQ("This name cannot be used for a template.",
                  user.TextRead(IDC_EDIT_ERROR_MESSAGE));
        EXPECT_EQ(std::vector<std::string>{}, ListFiles(Folder()));
        EXPECT_EQ(std::vector<std::string>{}, ListFiles(TempDir())) << "nothing beside it either";
    }
}

// ---- the file as the add-in reads it ----

TEST_F(EditorTest, SavedFileHasTheReadersLayout)
{
    const std::string document = TempDir() + "lease.pdf";
    const std::string bytes = RandomBytes(100, 7);
    WriteFileBytes(document, bytes);

    CScriptedUser user(Quick());
    user.Expect(kMainCaption);
    ClickToolbar(user, ID_NEW_TEMPLATE, "New Template");
    user.Expect(kNewCaption).Type(IDC_NEW_NAME, "Lease");
    user.PickComboItem(IDC_NEW_DOCUMENT, "<Browse...>");
    PickFile(user, kDocumentPicker, document);
    user.Expect(kNewCaption).Check(IDC_NEW_SENDER_SIGNS).Type(IDC_NEW_SENDER_ROLE, "Landlord");
    user.Click(IDOK).Expect(kMainCaption).Close();
    Run(user);

    const std::string encoded = Base64Encode(bytes);
    ASSERT_EQ(136u, encoded.size());
    // The key is a path: written with the escape table every writer shares.
    std::string key;
    for (char ch : document)
        key += ch == ':'    ? "&#58;"
               : ch == '\\' ? "&#92;"
               : ch == '-'  ? "&#45;"
                            : std::string(1, ch);
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate><Name>Lease</Name>\n"
        "<Document><Key>" +
        key +
        "</Key>\n"
        "<Name>lease.pdf</Name>\n"
        "<Type>Signature</Type>\n"
        "<FileBytes>" +
        encoded.substr(0, 64) + "\n" + encoded.substr(64, 64) + "\n" + encoded.substr(128) +
        "\n</FileBytes></Document>"
        "<Options><SignatureType>0</SignatureType>\n"
        "<SendMode>0</SendMode>\n"
        "<Positioning>2</Positioning>\n"
        "<Password></Password>\n"
        "<MouseTouchSigning>0</MouseTouchSigning>\n"
        "<HideEmailAddrs>0</HideEmailAddrs>\n"
        "</Options><Email><Subject>e-Signature Request</Subject>\n"
        "<Message>One or more documents are awaiting your e-signature on Quillet. Please "
        "review these documents and sign them at your earliest convenience.</Message>\n"
        "</Email><Signers>"
        "<Signer><Name>Sender</Name>\n<Email>sender@example.com</Email>\n"
        "<Role>Landlord</Role>\n<Sequence>2</Sequence>\n<Sender>1</Sender>\n"
        "<HardCoded>0</HardCoded>\n</Signer>"
        "<Signer><Name>Recipient</Name>\n<Email>recipient@example.com</Email>\n"
        "<Role>Customer</Role>\n<Sequence>1</Sequence>\n<Sender>0</Sender>\n"
        "<HardCoded>0</HardCoded>\n</Signer>"
        "</Signers></inkTemplate>";
    EXPECT_EQ(expected, ReadFileBytes(TemplatePath("Lease")));

    // The add-in's library: the template is offered, its signers come back
    // in reverse file order and its document decodes to the same bytes.
    CTempMgr library;
    ASSERT_EQ(1, library.LoadTemplates(Folder().substr(0, Folder().size() - 1).c_str()));
    const CTemplate* loaded = library.GetTemplates().GetHead();
    EXPECT_EQ((std::vector<std::string>{"Recipient|recipient@example.com|Customer|1|0|0",
                                        "Sender|sender@example.com|Landlord|2|1|0"}),
              Signers(*loaded));
    ASSERT_TRUE(loaded->m_signatureDoc);
    EXPECT_EQ(CTempDoc::kEmbedded, loaded->m_signatureDoc->m_kind);
    EXPECT_EQ(bytes, Base64Decode(ReadFileBytes(loaded->m_signatureDoc->m_embeddedPath.str())));
}

// ---- Save ----

TEST_F(EditorTest, MismatchedPasswordsWriteNothing)
{
    const std::string path =
        WriteTemplate({.name = "Offer", .signers = {{.name = "Recipient", .role = "Buyer"}}});
    const std::string before = ReadFileBytes(path);
    std::vector<std::string> states;
    CScriptedUser user(Quick());
    PickTemplate(user, "Offer").Type(IDC_PASSWORD, "a").Type(IDC_CONFIRM, "A");
    ClickToolbar(user, ID_SAVE_TEMPLATE, "Save Template");
    user.Expect(kErrorCaption).Read(IDC_EDIT_ERROR_MESSAGE).Read(IDC_EDIT_ERROR_DETAILS);
    user.Click(IDOK).Expect(kMainCaption);
    NoteToolbar(user, ID_SAVE_TEMPLATE, "Save", states);
    // Closing asks about the changes still unsaved; No keeps the file.
    user.Close().AnswerMessageBox(IDNO);
    Run(user);
    EXPECT_EQ("", user.TextRead(IDC_EDIT_ERROR_MESSAGE));
    EXPECT_EQ("Your two passwords did not match. Please try again.",
              user.TextRead(IDC_EDIT_ERROR_DETAILS));
    EXPECT_EQ(std::vector<std::string>{"Save+"}, states) << "still modified";
    EXPECT_EQ(before, ReadFileBytes(path));
    EXPECT_EQ(std::vector<std::string>{"Offer.xml"}, ListFiles(Folder()));
}

TEST_F(EditorTest, SaveWritesTheEditsAndLeavesDeletedSignersOut)
{
    const std::string path = WriteTemplate(
        {.name = "Offer",
         .signers = {{.name = "Ann",
                      .email = "ann@example.org",
                      .role = "Tenant",
                      .sequence = 1,
                      .hardCoded = 1},
                     {.name = "Recipient", .role = "Guarantor", .sequence = 2},
                     {.name = "Sender", .role = "Landlord", .sequence = 3, .sender = 1}}});
    CScriptedUser user(Quick());
    PickTemplate(user, "Offer").PickListRow(IDC_SIGNER_LIST, 1);
    ClickToolbar(user, ID_DELETE_SIGNER, "Delete Signer");
    user.Expect(kDeleteCaption).Read(IDC_DELETE_QUESTION).Click(IDOK).Expect(kMainCaption);
    user.Type(IDC_SUBJECT, "Lease for flat 3").Type(IDC_MESSAGE, "Line one\r\nLine two");
    user.PickComboItem(IDC_POSITIONING, "manually (use browser)");
    user.Check(IDC_HIDE_EMAILS).Click(IDC_SIGTYPE_EITHER);
    ClickToolbar(user, ID_SAVE_TEMPLATE, "Save Template");
    user.Close();
    Run(user);
    EXPECT_EQ("Are you sure you want to delete the selected signer?",
              user.TextRead(IDC_DELETE_QUESTION));
    auto tmpl = ReadBack(path);
    EXPECT_EQ(
        (std::vector<std::string>{"Ann|ann@example.org|Tenant|1|0|1", "Sender||Landlord|2|1|0"}),
        Signers(*tmpl))
        << "the guarantor is gone and the others renumbered";
    EXPECT_EQ("Lease for flat 3", tmpl->m_subject.str());
    EXPECT_EQ("Line one\nLine two", tmpl->m_message.str());
    EXPECT_EQ(1, tmpl->m_sendOptions.m_positioning);
    EXPECT_EQ(1, tmpl->m_sendOptions.m_hideEmailAddrs);
    EXPECT_EQ(2, tmpl->m_sendOptions.m_signatureType);
}

TEST_F(EditorTest, EmbeddedBytesSurviveASecondSaveWithTheirSourceGone)
{
    const std::string document = TempDir() + "lease.pdf";
    const std::string bytes = RandomBytes(5000, 3);
    WriteFileBytes(document, bytes);
    CScriptedUser user(Quick());
    user.Expect(kMainCaption);
    ClickToolbar(user, ID_NEW_TEMPLATE, "New Template");
    user.Expect(kNewCaption).Type(IDC_NEW_NAME, "Lease");
    user.PickComboItem(IDC_NEW_DOCUMENT, "<Browse...>");
    PickFile(user, kDocumentPicker, document);
    user.Expect(kNewCaption).Click(IDOK).Expect(kMainCaption);
    user.Do("moves the PDF away",
            [document](HWND) { return DeleteFileA(document.c_str()) != FALSE; });
    user.Type(IDC_SUBJECT, "Second save");
    ClickToolbar(user, ID_SAVE_TEMPLATE, "Save Template");
    user.Close();
    Run(user);
    auto tmpl = ReadBack(TemplatePath("Lease"));
    EXPECT_EQ("Second save", tmpl->m_subject.str());
    ASSERT_TRUE(tmpl->m_signatureDoc);
    EXPECT_EQ(bytes, Base64Decode(ReadFileBytes(tmpl->m_signatureDoc->m_embeddedPath.str())));
}

TEST_F(EditorTest, AFailedSaveSaysSoAndKeepsTheOldFile)
{
    // A document picked from disk and gone before the save: its bytes are
    // nowhere, so the template cannot be written whole.
    const std::string path =
        WriteTemplate({.name = "Offer", .signers = {{.name = "Recipient", .role = "Buyer"}}});
    const std::string before = ReadFileBytes(path);
    const std::string document = TempDir() + "draft.pdf";
    WriteFileBytes(document, "%PDF-1.4 draft");
    std::vector<std::string> states;
    CScriptedUser user(Quick());
    PickTemplate(user, "Offer").PickComboItem(IDC_SIGNATURE_DOC, "<Browse...>");
    PickFile(user, kDocumentPicker, document);
    user.Expect(kMainCaption).Do("deletes the PDF", [document](HWND) {
        return DeleteFileA(document.c_str()) != FALSE;
    });
    ClickToolbar(user, ID_SAVE_TEMPLATE, "Save Template");
    user.Expect(kErrorCaption).Read(IDC_EDIT_ERROR_MESSAGE).Click(IDOK).Expect(kMainCaption);
    NoteToolbar(user, ID_SAVE_TEMPLATE, "Save", states);
    user.Close().AnswerMessageBox(IDNO);
    Run(user);
    EXPECT_EQ("The template could not be saved. It is still marked as changed.",
              user.TextRead(IDC_EDIT_ERROR_MESSAGE));
    EXPECT_EQ(std::vector<std::string>{"Save+"}, states);
    EXPECT_EQ(before, ReadFileBytes(path));
    EXPECT_EQ(std::vector<std::string>{"Offer.xml"}, ListFiles(Folder())) << "nothing left over";
}

// ---- Delete ----

TEST_F(EditorTest, DeleteRemovesExactlyThatTemplate)
{
    const struct {
        const char* deleted;
        const char* kept;
    } rows[] = {{.deleted = "Offer", .kept = "Offer 2"}, {.deleted = "Offer 2", .kept = "Offer"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.deleted);
        for (const char* name : {"Offer", "Offer 2"})
            WriteTemplate({.name = name, .signers = {{.name = "Recipient", .role = "Buyer"}}});
        std::vector<std::string> items;
        CScriptedUser user(Quick());
        PickTemplate(user, row.deleted);
        ClickToolbar(user, ID_DELETE_TEMPLATE, "Delete Template");
        user.Expect(kDeleteCaption).Read(IDC_DELETE_QUESTION).Click(IDOK).Expect(kMainCaption);
        user.Do("reads the template list", [&items](HWND dialog) {
            items = ComboItems(dialog, IDC_TEMPLATE_LIST);
            return true;
        });
        user.Close();
        Run(user);
        EXPECT_EQ("Are you sure you would like to delete the current template?",
                  user.TextRead(IDC_DELETE_QUESTION));
        EXPECT_EQ((std::vector<std::string>{row.kept, "<click to select template>"}), items);
        EXPECT_EQ(std::vector<std::string>{std::string(row.kept) + ".xml"}, ListFiles(Folder()));
        DeleteFileA(TemplatePath(row.kept).c_str());
    }
}

// ---- positioning and mode ----

TEST_F(EditorTest, BroadcastAndManualPositioningExcludeEachOther)
{
    const struct {
        const char* row;
        int firstList;
        const char* first;
        int secondList;
        const char* second;
        const char* positioningAfter;
        const char* modeAfter;
    } rows[] = {
        {.row = "manual while broadcast",
         .firstList = IDC_MODE,
         .first = "broadcast",
         .secondList = IDC_POSITIONING,
         .second = "manually (use browser)",
         .positioningAfter = "automatically (use Tagwise)",
         .modeAfter = "broadcast"},
        {.row = "broadcast while manual",
         .firstList = IDC_POSITIONING,
         .first = "manually (use browser)",
         .secondList = IDC_MODE,
         .second = "broadcast",
         .positioningAfter = "manually (use browser)",
         .modeAfter = "normal"},
    };
    WriteTemplate({.name = "Offer", .signers = {{.name = "Recipient", .role = "Buyer"}}});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        CScriptedUser user(Quick());
        PickTemplate(user, "Offer").PickComboItem(row.firstList, row.first);
        user.PickComboItem(row.secondList, row.second);
        user.Expect(kErrorCaption).Read(IDC_EDIT_ERROR_MESSAGE).Read(IDC_EDIT_ERROR_DETAILS);
        user.Click(IDOK).Expect(kMainCaption).Read(IDC_POSITIONING).Read(IDC_MODE);
        user.Close().AnswerMessageBox(IDNO);
        Run(user);
        EXPECT_EQ("The value you have selected is in conflict with other settings, as described "
                  "below.",
                  user.TextRead(IDC_EDIT_ERROR_MESSAGE));
        EXPECT_EQ("Broadcasting requires automatic signature positioning (Tagwise)",
                  user.TextRead(IDC_EDIT_ERROR_DETAILS));
        EXPECT_EQ(row.positioningAfter, user.TextRead(IDC_POSITIONING));
        EXPECT_EQ(row.modeAfter, user.TextRead(IDC_MODE));
    }
}

// ---- the template list ----

TEST_F(EditorTest, ChoosingAnotherTemplateOffersToSaveFirst)
{
    WriteTemplate({.name = "Offer", .signers = {{.name = "Recipient", .role = "Buyer"}}});
    WriteTemplate({.name = "Lease", .signers = {{.name = "Recipient", .role = "Tenant"}}});
    CScriptedUser user(Quick());
    PickTemplate(user, "Offer").Type(IDC_SUBJECT, "Changed");
    user.PickComboItem(IDC_TEMPLATE_LIST, "Lease").AnswerMessageBox(IDYES);
    user.Expect(kMainCaption).Read(IDC_SUBJECT).Close();
    Run(user);
    ASSERT_EQ(1u, user.MessageBoxTexts().size());
    EXPECT_EQ("The current template has been changed.\n\nWould you like to save these changes?",
              user.MessageBoxTexts()[0]);
    EXPECT_EQ("Please sign", user.TextRead(IDC_SUBJECT)) << "Lease is shown";
    EXPECT_EQ("Changed", ReadBack(TemplatePath("Offer"))->m_subject.str());
}

TEST_F(EditorTest, ImportRefusesAHostileName)
{
    const std::string outside = TempDir() + "mailed.xml";
    WriteTemplate({.name = "Mailed", .signers = {{.name = "Recipient", .role = "Buyer"}}});
    std::string xml = ReadFileBytes(TemplatePath("Mailed"));
    DeleteFileA(TemplatePath("Mailed").c_str());
    xml.replace(xml.find("<Name>Mailed</Name>"), 19, "<Name>..\\..\\Startup\\evil</Name>");
    WriteFileBytes(outside, xml);
    CScriptedUser user(Quick());
    user.Expect(kMainCaption);
    ClickToolbar(user, ID_OPEN_TEMPLATE, "Open Template");
    PickFile(user, "Open Inkstave Template", outside);
    user.Expect(kErrorCaption).Read(IDC_EDIT_ERROR_MESSAGE).Click(IDOK);
    user.Expect(kMainCaption).Read(IDC_TEMPLATE_LIST).Close();
    Run(user);
    EXPECT_EQ("This name cannot be used for a template.", user.TextRead(IDC_EDIT_ERROR_MESSAGE));
    EXPECT_EQ("<click to select template>", user.TextRead(IDC_TEMPLATE_LIST));
    EXPECT_EQ(std::vector<std::string>{}, ListFiles(Folder()));
}
