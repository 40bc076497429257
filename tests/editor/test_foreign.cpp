// A template from elsewhere (a mail, a download, another installation's
// folder): Open/Import takes it only when it is a template the folder can
// keep and whose documents are its own, and says why it refuses any other;
// Save writes an embedded document from the bytes the template carries and
// OPEN opens only those, never a file the template names by its key.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "classlib/win32/CRegKey.h"
#include "editor/EditorResource.h"
#include "shared/requests/Template.h"
#include "tests/editor/EditorTest.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBase64.h"

using namespace testenv;

namespace {

constexpr char kErrorCaption[] = "Quillet Error";
constexpr char kTemplatePicker[] = "Open Inkstave Template";
constexpr char kDocumentPicker[] = "Open e-Signature TempDoc";
constexpr char kRefused[] = "This file cannot be imported as a template.";

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char ch : text) {
        out += ch == '<'   ? std::string("&lt;")
               : ch == '>' ? std::string("&gt;")
               : ch == '&' ? std::string("&amp;")
                           : std::string(1, ch);
    }
    return out;
}

// One document block of a template file; embedded when bytes are given.
struct DocumentBlock {
    std::string type = "Signature";
    std::string key = {};
    std::string name = {};
    std::string bytes = {};
};

std::string DocumentXml(const DocumentBlock& doc)
{
    std::string xml = "<Document><Key>" + Escaped(doc.key) + "</Key>\n<Name>" + Escaped(doc.name) +
                      "</Name>\n<Type>" + doc.type + "</Type>\n";
    if (!doc.bytes.empty())
        xml += "<FileBytes>" + standin::Base64Encode(doc.bytes) + "\n</FileBytes>";
    return xml + "</Document>";
}

// A template file as another installation's editor writes it.
std::string TemplateXml(const std::string& nameElement, const std::vector<DocumentBlock>& docs)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate>" + nameElement;
    for (const DocumentBlock& doc : docs)
        xml += DocumentXml(doc);
    return xml +
           "<Options><SignatureType>0</SignatureType>\n<SendMode>0</SendMode>\n"
           "<Positioning>2</Positioning>\n<Password></Password>\n"
           "<MouseTouchSigning>0</MouseTouchSigning>\n<HideEmailAddrs>0</HideEmailAddrs>\n"
           "</Options><Email><Subject>Please sign</Subject>\n</Email><Signers><Signer>"
           "<Name>Recipient</Name>\n<Email></Email>\n<Role>Buyer</Role>\n<Sequence>1</Sequence>\n"
           "<Sender>0</Sender>\n<HardCoded>0</HardCoded>\n</Signer></Signers></inkTemplate>";
}

const DocumentBlock kAttachment = {.key = "<Outlook Attachment>", .name = "<Outlook Attachment>"};

// The user opens the file with Open/Import and reads the refusal.
void ImportRefused(CScriptedUser& user, const std::string& file)
{
    user.Expect(kMainCaption);
    ClickToolbar(user, ID_OPEN_TEMPLATE, "Open Template");
    PickFile(user, kTemplatePicker, file);
    user.Expect(kErrorCaption).Read(IDC_EDIT_ERROR_MESSAGE).Read(IDC_EDIT_ERROR_DETAILS);
    user.Click(IDOK).Expect(kMainCaption).Read(IDC_TEMPLATE_LIST).Close();
}

} // namespace

// The add-in refuses a mailed template whose documents name files of this
// machine (the next send would upload them to the template's signers); a
// template saved from a mail and opened here is refused alike, with the
// add-in's message, and never reaches the template folder.
TEST_F(EditorTest, ImportRefusesATemplateThatNamesAFileOfThisMachine)
{
    const std::string secret = TempDir() + "secret.txt";
    WriteFileBytes(secret, "PRIVATE: the user's own file");
    const std::string embedded = "%PDF-1.4 contract";
    const struct {
        const char* row;
        std::vector<DocumentBlock> documents;
        std::string named; // the path the refusal shows
    } rows[] = {
        {.row = "a document to sign at a local path",
         .documents = {{.key = secret, .name = "Contract.pdf"}},
         .named = secret},
        {.row = "a reference document on another host's share",
         .documents = {kAttachment,
                       {.type = "Reference", .key = "\\\\host\\share\\bait.pdf", .name = "Terms"}},
         .named = "\\\\host\\share\\bait.pdf"},
        {.row = "additional information named by its key alone",
         .documents = {{.key = "C:\\author\\Contract.pdf",
                        .name = "Contract.pdf",
                        .bytes = embedded},
                       {.type = "Informative", .key = "notes.txt", .name = "notes.txt"}},
         .named = "notes.txt"},
    };
    const std::string file = TempDir() + "mailed.xml";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        WriteFileBytes(file, TemplateXml("<Name>Lease</Name>\n", row.documents));
        CScriptedUser user(Quick());
        ImportRefused(user, file);
        Run(user);
        EXPECT_EQ(kRefused, user.TextRead(IDC_EDIT_ERROR_MESSAGE));
        const std::string details = user.TextRead(IDC_EDIT_ERROR_DETAILS);
        EXPECT_NE(std::string::npos, details.find("\"Lease\", that names a file on this computer"))
            << details;
        EXPECT_NE(std::string::npos, details.find(row.named)) << details;
        EXPECT_NE(std::string::npos, details.find("was not imported")) << details;
        EXPECT_EQ("<click to select template>", user.TextRead(IDC_TEMPLATE_LIST));
        EXPECT_EQ(std::vector<std::string>{}, ListFiles(Folder()));
    }
}

TEST_F(EditorTest, ImportSaysWhyAFileIsNoTemplate)
{
    const std::string attachment = DocumentXml(kAttachment);
    std::string noise = RandomBytes(600, 9);
    noise[0] = 'x'; // markup would make it look like a document at least
    const struct {
        const char* row;
        std::string content;
        const char* details;
    } rows[] = {
        {.row = "empty", .content = "", .details = "The file is empty."},
        {.row = "random bytes",
         .content = noise,
         .details = "The file is not a template: it is damaged or another kind of file. A "
                    "template is the XML file that the template editor saves."},
        {.row = "a document type declaration",
         .content = "<?xml version=\"1.0\"?><!DOCTYPE inkTemplate [<!ENTITY n \"Offer\">]>"
                    "<inkTemplate><Name>&n;</Name>" +
                    attachment + "</inkTemplate>",
         .details = "The file holds a document type declaration (<!DOCTYPE ...>). A template "
                    "file never holds one, and a file that does is not read: the declaration "
                    "could make the editor read other files."},
        {.row = "XML of another kind",
         .content =
             "<?xml version=\"1.0\"?><Receipt><Name>Offer</Name>" + attachment + "</Receipt>",
         .details = "The file is not a template: it is damaged or another kind of file. A "
                    "template is the XML file that the template editor saves."},
        {.row = "no Name",
         .content = TemplateXml("", {kAttachment}),
         .details = "The template has no name. A template's name becomes the name of its file "
                    "in the template folder, so a template without one cannot be kept there."},
        {.row = "an empty Name",
         .content = TemplateXml("<Name></Name>\n", {kAttachment}),
         .details = "The template has no name. A template's name becomes the name of its file "
                    "in the template folder, so a template without one cannot be kept there."},
        {.row = "no document to sign",
         .content = TemplateXml(
             "<Name>Offer</Name>\n",
             {{.type = "Reference", .key = "r.pdf", .name = "r.pdf", .bytes = "%PDF-1.4 r"}}),
         .details = "The template has no document to sign, so no request could be sent with it."},
    };
    const std::string file = TempDir() + "import.xml";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        WriteFileBytes(file, row.content);
        CScriptedUser user(Quick());
        ImportRefused(user, file);
        Run(user);
        EXPECT_EQ(kRefused, user.TextRead(IDC_EDIT_ERROR_MESSAGE));
        EXPECT_EQ(row.details, user.TextRead(IDC_EDIT_ERROR_DETAILS));
        EXPECT_EQ("<click to select template>", user.TextRead(IDC_TEMPLATE_LIST));
        EXPECT_EQ(std::vector<std::string>{}, ListFiles(Folder()));
        EXPECT_EQ(std::vector<std::string>{}, QuillFiles(TempDir())) << "nothing of it is kept";
    }
}

// ---- Save ----

// The key of an embedded document is a path on its author's machine. Save
// writes the bytes the template carries, whatever lies at that path here:
// the user's own file is never put into the template, a share is never
// reached and a folder there does not make the save fail.
TEST_F(EditorTest, SaveWritesAnEmbeddedDocumentFromItsOwnBytes)
{
    const std::string secret = TempDir() + "secret.pdf";
    WriteFileBytes(secret, "PRIVATE: the user's own file");
    const std::string own = "%PDF-1.4 the template's own contract";
    const struct {
        const char* row;
        std::string key;
        bool imported; // opened with Open/Import, else chosen in the list
    } rows[] = {
        {.row = "the key names a file of the user's", .key = secret, .imported = false},
        {.row = "imported, the key names a file of the user's", .key = secret, .imported = true},
        {.row = "the key names a folder", .key = TempDir(), .imported = false},
        {.row = "the key is on a share", .key = "\\\\host\\share\\contract.pdf", .imported = false},
    };
    const std::string outside = TempDir() + "mailed.xml";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        const std::string xml = TemplateXml(
            "<Name>Lease</Name>\n", {{.key = row.key, .name = "contract.pdf", .bytes = own}});
        WriteFileBytes(row.imported ? outside : TemplatePath("Lease"), xml);
        CScriptedUser user(Quick());
        user.Expect(kMainCaption);
        if (row.imported) {
            ClickToolbar(user, ID_OPEN_TEMPLATE, "Open Template");
            PickFile(user, kTemplatePicker, outside);
            user.Expect(kMainCaption);
        } else {
            user.PickComboItem(IDC_TEMPLATE_LIST, "Lease");
        }
        user.Type(IDC_SUBJECT, "Saved again");
        ClickToolbar(user, ID_SAVE_TEMPLATE, "Save Template");
        user.Close();
        Run(user);

        CTemplate saved;
        ASSERT_EQ(S_OK, saved.LoadXML(TemplatePath("Lease").c_str()));
        EXPECT_EQ("Saved again", saved.m_subject.str());
        ASSERT_TRUE(saved.m_signatureDoc);
        EXPECT_EQ(row.key, saved.m_signatureDoc->m_key.str()) << "the key stays the author's";
        EXPECT_EQ(own,
                  standin::Base64Decode(ReadFileBytes(saved.m_signatureDoc->m_embeddedPath.str())));
        DeleteFileA(TemplatePath("Lease").c_str());
    }
}

// ---- OPEN ----

namespace {

// Text documents open with a viewer registered for the test (a program that
// is not there: what matters is the command line the editor hands on, which
// its log records), removed again when the test ends.
class OpenTest : public EditorTest {
protected:
    static constexpr char kViewer[] = "C:\\QuilletTest\\viewer.exe";

    void SetUp() override
    {
        EditorTest::SetUp();
        SetDefault(".txt", "QuilletTest.Text");
        SetDefault("QuilletTest.Text\\shell\\open\\command", std::string(kViewer) + " \"%1\"");
    }
    void TearDown() override
    {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ".txt");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "QuilletTest.Text");
        EditorTest::TearDown();
    }

    // The files the viewer was asked to open, in order.
    static std::vector<std::string> Opened(const std::string& log)
    {
        std::vector<std::string> files;
        const std::string start = "command line " + std::string(kViewer) + " \"";
        for (size_t at = log.find(start); at != std::string::npos; at = log.find(start, at)) {
            at += start.size();
            files.push_back(log.substr(at, log.find('"', at) - at));
        }
        return files;
    }

private:
    static void SetDefault(const std::string& key, const std::string& text)
    {
        CRegKey created;
        ASSERT_EQ(ERROR_SUCCESS,
                  created.Create(HKEY_CLASSES_ROOT, key.c_str(), nullptr, KEY_WRITE));
        ASSERT_EQ(ERROR_SUCCESS, created.SetValue(nullptr, REG_SZ, text.c_str(),
                                                  static_cast<DWORD>(text.size() + 1)));
    }
};

CScriptedUser& NoteOpenButtons(CScriptedUser& user, std::vector<std::string>& states)
{
    return user.Do("looks at the OPEN buttons", [&states](HWND dialog) {
        std::string seen;
        for (int id : {IDC_OPEN_SIGNATURE, IDC_OPEN_REFERENCE, IDC_OPEN_INFO})
            seen += IsWindowEnabled(GetDlgItem(dialog, id)) ? "+" : "-";
        states.push_back(seen);
        return true;
    });
}

} // namespace

// A reference or instruction document that a template names by its key
// alone (a share of another host, another user's file) is nothing OPEN
// opens: its button is disabled, and a click that reaches it anyway opens
// nothing. The template's own bytes open as a decoded copy, gone when the
// editor ends; a document the user picked opens as the file it is.
TEST_F(OpenTest, OpenOpensOnlyTheTemplatesOwnBytesAndWhatTheUserPicked)
{
    const std::string others = TempDir() + "Ann\\";
    CreateDirectoryA(others.c_str(), nullptr);
    WriteFileBytes(others + "private.txt", "Ann's own notes");
    const std::string picked = TempDir() + "mine.txt";
    WriteFileBytes(picked, "picked here");
    WriteFileBytes(
        TemplatePath("Lease"),
        TemplateXml(
            "<Name>Lease</Name>\n",
            {{.key = "C:\\author\\contract.txt",
              .name = "contract.txt",
              .bytes = "the template's own contract"},
             {.type = "Reference", .key = "\\\\host\\share\\bait.txt", .name = "bait.txt"},
             {.type = "Informative", .key = others + "private.txt", .name = "private.txt"}}));
    LogCapture log;
    std::vector<std::string> states;
    CScriptedUser user(Quick());
    user.Expect(kMainCaption).PickComboItem(IDC_TEMPLATE_LIST, "Lease");
    NoteOpenButtons(user, states);
    user.Click(IDC_OPEN_SIGNATURE);
    user.Do("clicks the disabled OPEN buttons anyway", [](HWND dialog) {
        for (int id : {IDC_OPEN_REFERENCE, IDC_OPEN_INFO}) {
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
        }
        return true;
    });
    user.PickComboItem(IDC_REFERENCE_DOC, "<Browse...>");
    PickFile(user, kDocumentPicker, picked);
    user.Expect(kMainCaption);
    NoteOpenButtons(user, states);
    user.Click(IDC_OPEN_REFERENCE);
    user.Close().AnswerMessageBox(IDNO);
    Run(user);

    EXPECT_EQ((std::vector<std::string>{"+--", "++-"}), states);
    const std::vector<std::string> opened = Opened(log.Text());
    ASSERT_EQ(2u, opened.size()) << log.Text();
    EXPECT_EQ(TempDir(), opened[0].substr(0, TempDir().size())) << opened[0];
    EXPECT_EQ(".txt", opened[0].substr(opened[0].size() - 4)) << opened[0];
    EXPECT_FALSE(FileExists(opened[0])) << "the decoded copy outlived the editor";
    EXPECT_EQ(picked, opened[1]);
    EXPECT_TRUE(FileExists(picked)) << "the user's own file stays";
    EXPECT_EQ("Ann's own notes", ReadFileBytes(others + "private.txt"));
}
