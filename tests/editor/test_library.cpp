// The template library in the editor: one entry per template name and per
// file, nothing replaced and no change dropped without asking, and the
// documents offered to a new template named once each.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "editor/EditorResource.h"
#include "shared/requests/TempMgr.h"
#include "shared/requests/Template.h"
#include "tests/editor/EditorTest.h"

using namespace testenv;

namespace {

constexpr char kNewCaption[] = "New Template";
constexpr char kErrorCaption[] = "Quillet Error";
constexpr char kTemplatePicker[] = "Open Inkstave Template";
constexpr char kAskSave[] =
    "The current template has been changed.\n\nWould you like to save these changes?";

std::string Subject(const std::string& path)
{
    CTemplate tmpl;
    EXPECT_EQ(S_OK, tmpl.LoadXML(path.c_str())) << path;
    return tmpl.m_subject.str();
}

CScriptedUser& ReadTemplateList(CScriptedUser& user, std::vector<std::string>& items)
{
    return user.Do("reads the template list", [&items](HWND dialog) {
        items = ComboItems(dialog, IDC_TEMPLATE_LIST);
        return true;
    });
}

} // namespace

// ---- nothing replaced unasked ----

TEST_F(EditorTest, TakingAListedNameAsksFirst)
{
    enum class Road { New, Import };
    const struct {
        const char* row;
        Road road;
        int answer;
        std::string subjectAfter; // of Lease.xml once the editor ends
    } rows[] = {
        {.row = "New, No", .road = Road::New, .answer = IDNO, .subjectAfter = "Mine"},
        {.row = "New, Yes",
         .road = Road::New,
         .answer = IDYES,
         .subjectAfter = "e-Signature Request"},
        {.row = "Import, No", .road = Road::Import, .answer = IDNO, .subjectAfter = "Mine"},
        {.row = "Import, Yes, Save",
         .road = Road::Import,
         .answer = IDYES,
         .subjectAfter = "Theirs"},
    };
    // A mailed "Lease" from someone else, saved outside the folder.
    const std::string mailed = TempDir() + "mailed.xml";
    WriteFileBytes(mailed,
                   ReadFileBytes(WriteTemplate({.name = "Lease",
                                                .signers = {{.name = "Stranger",
                                                             .email = "stranger@example.net",
                                                             .role = "Witness",
                                                             .hardCoded = 1}},
                                                .subject = "Theirs"})));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        WriteTemplate({.name = "Lease",
                       .signers = {{.name = "Recipient", .role = "Tenant"}},
                       .subject = "Mine"});
        std::vector<std::string> items;
        CScriptedUser user(Quick());
        user.Expect(kMainCaption);
        if (row.road == Road::New) {
            ClickToolbar(user, ID_NEW_TEMPLATE, "New Template");
            user.Expect(kNewCaption).Type(IDC_NEW_NAME, "Lease");
            user.PickComboItem(IDC_NEW_DOCUMENT, "<Outlook Attachment>").Click(IDOK);
            user.AnswerMessageBox(row.answer);
            // No: the name is still to be chosen.
            if (row.answer == IDNO)
                user.Expect(kNewCaption).Click(IDCANCEL);
        } else {
            ClickToolbar(user, ID_OPEN_TEMPLATE, "Open Template");
            PickFile(user, kTemplatePicker, mailed);
            user.AnswerMessageBox(row.answer);
            if (row.answer == IDYES)
                ClickToolbar(user, ID_SAVE_TEMPLATE, "Save Template");
        }
        user.Expect(kMainCaption);
        ReadTemplateList(user, items);
        user.Close();
        Run(user);
        ASSERT_EQ(1u, user.MessageBoxTexts().size());
        EXPECT_EQ("A template named \"Lease\" already exists.\n\nWould you like to replace it?",
                  user.MessageBoxTexts()[0]);
        const int listed = static_cast<int>(std::count(items.begin(), items.end(), "Lease"));
        EXPECT_EQ(1, listed) << "one entry for the one file";
        EXPECT_EQ(row.subjectAfter, Subject(TemplatePath("Lease")));
        EXPECT_EQ(std::vector<std::string>{"Lease.xml"}, ListFiles(Folder()));
    }
}

TEST_F(EditorTest, ASecondFileOfOneNameIsLeftOut)
{
    // The file named after the template is the one Save and Delete act on,
    // wherever the folder lists the other.
    for (const char* impostor : {"aaa.xml", "zzz.xml"}) {
        SCOPED_TRACE(impostor);
        WriteTemplate({.name = "Good", .signers = {{.name = "Recipient"}}, .subject = "Real"});
        const std::string fake = WriteTemplate(
            {.name = "Fake", .signers = {{.name = "Recipient"}}, .subject = "Impostor"});
        std::string xml = ReadFileBytes(fake);
        DeleteFileA(fake.c_str());
        xml.replace(xml.find("<Name>Fake</Name>"), 17, "<Name>Good</Name>");
        WriteFileBytes(Folder() + impostor, xml);

        CTempMgr library;
        ASSERT_EQ(1, library.LoadTemplates(Folder().substr(0, Folder().size() - 1).c_str()));
        ASSERT_EQ(1, library.GetTemplates().GetCount()) << "the add-in's library alike";
        EXPECT_EQ("Real", library.GetTemplates().GetHead()->m_subject.str());

        std::vector<std::string> items;
        CScriptedUser user(Quick());
        user.Expect(kMainCaption);
        ReadTemplateList(user, items);
        user.PickComboItem(IDC_TEMPLATE_LIST, "Good").Read(IDC_SUBJECT).Close();
        Run(user);
        EXPECT_EQ((std::vector<std::string>{"Good", "<click to select template>"}), items);
        EXPECT_EQ("Real", user.TextRead(IDC_SUBJECT));
        DeleteFileA((Folder() + impostor).c_str());
        DeleteFileA(TemplatePath("Good").c_str());
    }
}

// ---- no change dropped unasked ----

TEST_F(EditorTest, EveryRoadAwayFromChangesAsksToSaveThem)
{
    enum class Road { Import, New, Placeholder };
    const struct {
        const char* row;
        Road road;
    } rows[] = {
        {.row = "Open/Import", .road = Road::Import},
        {.row = "New", .road = Road::New},
        // The keyboard reaches the placeholder (a drop-down hides it).
        {.row = "<click to select template>", .road = Road::Placeholder},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        WriteTemplate({.name = "Offer", .signers = {{.name = "Recipient", .role = "Buyer"}}});
        CScriptedUser user(Quick());
        user.Expect(kMainCaption).PickComboItem(IDC_TEMPLATE_LIST, "Offer");
        user.Type(IDC_SUBJECT, "Changed");
        switch (row.road) {
        case Road::Import:
            ClickToolbar(user, ID_OPEN_TEMPLATE, "Open Template").AnswerMessageBox(IDYES);
            user.Expect(kTemplatePicker).Click(IDCANCEL);
            break;
        case Road::New:
            ClickToolbar(user, ID_NEW_TEMPLATE, "New Template").AnswerMessageBox(IDYES);
            user.Expect(kNewCaption).Click(IDCANCEL);
            break;
        case Road::Placeholder:
            user.PickComboItem(IDC_TEMPLATE_LIST, "<click to select template>");
            user.AnswerMessageBox(IDYES);
            break;
        }
        user.Expect(kMainCaption).Close();
        Run(user);
        EXPECT_EQ(std::vector<std::string>{kAskSave}, user.MessageBoxTexts());
        EXPECT_EQ("Changed", Subject(TemplatePath("Offer")));
    }
}

TEST_F(EditorTest, ASaveThatCannotWriteSaysSoAndKeepsTheChanges)
{
    // A document named by a path and carried nowhere: nothing the editor
    // could write as the template's document to sign.
    const std::string path = WriteTemplate({.name = "Offer",
                                            .signers = {{.name = "Recipient", .role = "Buyer"}},
                                            .documentName = "contract.pdf"});
    std::string xml = ReadFileBytes(path);
    xml.replace(xml.find("<Key>contract.pdf</Key>"), 23, "<Key>C:\\Users\\ann\\contract.pdf</Key>");
    WriteFileBytes(path, xml);
    WriteTemplate({.name = "Lease", .signers = {{.name = "Recipient", .role = "Tenant"}}});

    std::vector<std::string> states;
    CScriptedUser user(Quick());
    user.Expect(kMainCaption).PickComboItem(IDC_TEMPLATE_LIST, "Offer");
    user.Type(IDC_SUBJECT, "Changed");
    user.PickComboItem(IDC_TEMPLATE_LIST, "Lease").AnswerMessageBox(IDYES);
    user.Expect(kErrorCaption).Read(IDC_EDIT_ERROR_MESSAGE).Read(IDC_EDIT_ERROR_DETAILS);
    user.Click(IDOK).Expect(kMainCaption).Read(IDC_TEMPLATE_LIST).Read(IDC_SUBJECT);
    NoteToolbar(user, ID_SAVE_TEMPLATE, "Save", states);
    user.Close().AnswerMessageBox(IDNO);
    Run(user);
    EXPECT_EQ("The template could not be saved. It is still marked as changed.",
              user.TextRead(IDC_EDIT_ERROR_MESSAGE));
    EXPECT_EQ("The template has no document to sign that can be saved with it. Please choose one "
              "under \"Document to Sign:\" and save again; your changes are kept until then.",
              user.TextRead(IDC_EDIT_ERROR_DETAILS));
    EXPECT_EQ("Offer", user.TextRead(IDC_TEMPLATE_LIST)) << "the template stays";
    EXPECT_EQ("Changed", user.TextRead(IDC_SUBJECT)) << "with its changes";
    EXPECT_EQ(std::vector<std::string>{"Save+"}, states);
    EXPECT_EQ(xml, ReadFileBytes(path));
}

// ---- the new template's documents ----

TEST_F(EditorTest, NewOffersEachDocumentOnce)
{
    WriteTemplate({.name = "Offer",
                   .signers = {{.name = "Recipient"}},
                   .documentName = "offer.pdf",
                   .documentBytes = "%PDF-1.4 offer"});
    WriteTemplate({.name = "Lease",
                   .signers = {{.name = "Recipient"}},
                   .documentName = "lease.pdf",
                   .documentBytes = "%PDF-1.4 lease"});
    const std::string document = TempDir() + "deed.pdf";
    WriteFileBytes(document, "%PDF-1.4 deed");
    std::vector<std::vector<std::string>> offered;
    const auto readOffer = [&offered](CScriptedUser& user) -> CScriptedUser& {
        return user.Expect(kNewCaption).Do("reads the documents", [&offered](HWND dialog) {
            offered.push_back(ComboItems(dialog, IDC_NEW_DOCUMENT));
            return true;
        });
    };
    CScriptedUser user(Quick());
    user.Expect(kMainCaption);
    for (const char* name : {"Offer", "Lease", "Offer", "Lease"})
        user.PickComboItem(IDC_TEMPLATE_LIST, name);
    ClickToolbar(user, ID_NEW_TEMPLATE, "New Template");
    readOffer(user).Click(IDCANCEL).Expect(kMainCaption);
    // A file browsed for a new template, which is then shown as saved.
    ClickToolbar(user, ID_NEW_TEMPLATE, "New Template");
    user.Expect(kNewCaption).Type(IDC_NEW_NAME, "Deed");
    user.PickComboItem(IDC_NEW_DOCUMENT, "<Browse...>");
    PickFile(user, "Open e-Signature TempDoc", document);
    user.Expect(kNewCaption).Click(IDOK).Expect(kMainCaption);
    ClickToolbar(user, ID_NEW_TEMPLATE, "New Template");
    readOffer(user).Click(IDCANCEL).Expect(kMainCaption).Close();
    Run(user);
    EXPECT_EQ((std::vector<std::vector<std::string>>{
                  {"<Browse...>", "<Outlook Attachment>", "lease.pdf"},
                  {"<Browse...>", "<Outlook Attachment>", "deed.pdf"}}),
              offered);
}
