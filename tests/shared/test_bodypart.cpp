// CBodyPart: a mail item's body or an attachment saved to a temporary file
// for sending, against scriptable fakes of the item and the attachment.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/requests/BodyPart.h"
#include "tests/support/FakeAttachment.h"
#include "tests/support/FakeDispatch.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestText.h"

using namespace testenv;

namespace {

class BodyPartTest : public CleanProfileTest {
protected:
    static CComPtr<CFakeDispatch> MailItem(const wchar_t* body, const wchar_t* html)
    {
        auto item = CFakeDispatch::Create();
        item->Prop(L"Body", body).Prop(L"HTMLBody", html);
        return item;
    }
};

} // namespace

TEST_F(BodyPartTest, ExtensionIsTheTextAfterTheLastDot)
{
    struct Case {
        const char* fileName;
        const char* extension;
    };
    const Case cases[] = {
        {"Contract.pdf", "pdf"},
        {"offer.v2.docx", "docx"},
        {"README", "pdf"},
        {"", "pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileName);
        CBodyPart part(nullptr, 3, c.fileName, "Attachment", "Reference");
        EXPECT_STREQ(c.extension, part.m_extension);
        EXPECT_STREQ(c.fileName, part.m_fileName);
        EXPECT_STREQ("Attachment", part.m_kind);
        EXPECT_STREQ("Reference", part.m_documentType);
        EXPECT_EQ(3, part.m_index);
        EXPECT_TRUE(part.m_tempPath.IsEmpty());
        EXPECT_EQ(0, part.m_bodyFormat);
        EXPECT_TRUE(part.m_subParts.IsEmpty());
    }
}

TEST_F(BodyPartTest, BodyIsSavedAsTextOrAsItsHtmlSource)
{
    struct Case {
        const char* what;
        LONG bodyFormat;
        BOOL useHtml;
        const wchar_t* body;
        const char* suffix;
        std::string contents;
        const char* extension;
    };
    const Case cases[] = {
        {"HTML mail, HTML wanted", 2, TRUE, L"Caf\u00e9", ".htm", "<html><b>Caf\xE9</b></html>",
         "htm"},
        {"HTML mail, text wanted", 2, FALSE, L"Caf\u00e9", ".tmp", "Caf\xE9", "pdf"},
        {"plain mail, HTML wanted", 1, TRUE, L"Caf\u00e9", ".tmp", "Caf\xE9", "pdf"},
        {"empty plain body", 1, FALSE, L"", ".tmp", "message unspecified", "pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto item = MailItem(c.body, L"<html><b>Caf\u00e9</b></html>");
        CBodyPart part(item.Get(), 0, "Message Body", "Message Body", "");
        part.m_bodyFormat = c.bodyFormat;
        ASSERT_EQ(1, part.SaveToTempFile(TRUE, c.useHtml));
        const std::string name = FileNameOf(part.m_tempPath.str());
        EXPECT_EQ(0, lstrcmpiA(c.suffix, name.substr(name.size() - 4).c_str())) << name;
        EXPECT_EQ(0,
                  lstrcmpiA(TempDir().c_str(), part.m_tempPath.Left(part.m_tempPath.GetLength() -
                                                                    static_cast<int>(name.size()))))
            << part.m_tempPath;
        EXPECT_EQ(c.contents, ReadFileBytes(part.m_tempPath.str()));
        EXPECT_EQ(std::vector<std::string>{name}, ListFiles(TempDir()))
            << "the file the path names is the only one";
        EXPECT_STREQ(c.extension, part.m_extension);
    }
}

TEST_F(BodyPartTest, HtmlBodyNeverWritesOverAStaleFile)
{
    // Stale bodies of earlier runs, under names of the system's own form and
    // under the short ones temporary files once had: the part makes a name
    // of its own and leaves every one of them as it was.
    const std::string stale(64, 'S');
    std::vector<std::string> twins;
    for (const char* name : {"Qui0000000000000000.htm", "Qui0000000000000001.htm",
                             "QuiFFFFFFFFFFFFFFFF.htm", "Qui1a2b.htm", "Quill.htm"}) {
        twins.push_back(TempDir() + name);
        WriteFileBytes(twins.back(), stale);
    }

    auto item = MailItem(L"plain", L"<p>fresh</p>");
    CBodyPart part(item.Get(), 0, "Message Body", "Message Body", "");
    part.m_bodyFormat = CBodyPart::kBodyFormatHtml;
    ASSERT_EQ(1, part.SaveToTempFile(TRUE, TRUE));
    EXPECT_EQ("<p>fresh</p>", ReadFileBytes(part.m_tempPath.str()));
    for (const std::string& twin : twins) {
        EXPECT_NE(0, lstrcmpiA(twin.c_str(), part.m_tempPath)) << twin;
        EXPECT_EQ(stale, ReadFileBytes(twin)) << twin;
    }
    for (const std::string& file : ListFiles(TempDir()))
        EXPECT_EQ(std::string::npos, file.find(".tmp")) << "reservations are given back: " << file;
}

TEST_F(BodyPartTest, AttachmentIsSavedThroughItsSaveAsFile)
{
    auto attachment = Attachment("%PDF-1.4 contract");
    CBodyPart part(attachment.Get(), 2, "Contract.pdf", "Attachment", "");
    ASSERT_EQ(1, part.SaveToTempFile(FALSE, TRUE));
    const std::string name = FileNameOf(part.m_tempPath.str());
    EXPECT_EQ(0, lstrcmpiA(".tmp", name.substr(name.size() - 4).c_str())) << name;
    EXPECT_EQ("%PDF-1.4 contract", ReadFileBytes(part.m_tempPath.str()));
    EXPECT_STREQ("pdf", part.m_extension);
    auto saves = attachment->CallsTo(L"SaveAsFile");
    ASSERT_EQ(1u, saves.size());
    EXPECT_EQ(0, lstrcmpiA(part.m_tempPath, NarrowOf(saves[0].args.at(0)).c_str()));

    // Saved again, the part keeps one file.
    ASSERT_EQ(1, part.SaveToTempFile(FALSE, TRUE));
    EXPECT_EQ(std::vector<std::string>{FileNameOf(part.m_tempPath.str())}, ListFiles(TempDir()));
}

TEST_F(BodyPartTest, FailedSaveLeavesNoFileAndNoPath)
{
    auto attachment = Attachment("x");
    attachment->Fail(L"SaveAsFile", E_ACCESSDENIED);
    auto item = MailItem(L"text", L"<p>html</p>");
    item->Fail(L"Body", E_FAIL).Fail(L"HTMLBody", E_FAIL);
    struct Case {
        const char* what;
        IDispatch* object;
        BOOL body;
        LONG bodyFormat;
    };
    const Case cases[] = {
        {"attachment", attachment.Get(), FALSE, 0},
        {"plain body", item.Get(), TRUE, 1},
        {"HTML body", item.Get(), TRUE, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CBodyPart part(c.object, 0, "a.pdf", "Attachment", "");
        part.m_bodyFormat = c.bodyFormat;
        EXPECT_EQ(0, part.SaveToTempFile(c.body, TRUE));
        EXPECT_TRUE(part.m_tempPath.IsEmpty());
        EXPECT_TRUE(ListFiles(TempDir()).empty());
    }
}

TEST_F(BodyPartTest, SaveAsFileTakesPathsUpToTheLimit)
{
    auto attachment = Attachment("");
    attachment->Method(L"SaveAsFile", [](const DISPPARAMS&, VARIANT*) { return S_OK; });
    struct Case {
        size_t length;
        HRESULT expected;
    };
    const Case cases[] = {
        {CBodyPart::kMaxSavePath, S_OK},
        {CBodyPart::kMaxSavePath + 1, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)},
        {4000, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        attachment->ClearCalls();
        // An accented name comes through as its UTF-16 character.
        const std::string path = "C:\\caf\xE9\\" + std::string(c.length - 8, 'a');
        CBodyPart part(attachment.Get(), 1, "a.pdf", "Attachment", "");
        EXPECT_EQ(c.expected, part.SaveAsFile(path.c_str()));
        auto saves = attachment->CallsTo(L"SaveAsFile");
        if (c.expected != S_OK) {
            EXPECT_TRUE(saves.empty());
            continue;
        }
        ASSERT_EQ(1u, saves.size());
        EXPECT_EQ(L"C:\\caf\u00e9\\" + std::wstring(c.length - 8, L'a'),
                  WideOf(saves[0].args.at(0)));
    }
    CBodyPart detached(nullptr, 1, "a.pdf", "Attachment", "");
    EXPECT_EQ(E_POINTER, detached.SaveAsFile("C:\\a.pdf"));
}

TEST_F(BodyPartTest, DestructorLetsGoOfTheObjectTheFileAndTheSubParts)
{
    auto item = MailItem(L"text", L"");
    auto attachment = Attachment("data");
    auto* part = new CBodyPart(item.Get(), 0, "Message Body", "Message Body", "");
    EXPECT_EQ(2u, item->RefCount());
    ASSERT_EQ(1, part->SaveToTempFile(TRUE, FALSE));
    auto* sub = new CBodyPart(attachment.Get(), 1, "a.pdf", "Attachment", "");
    ASSERT_EQ(1, sub->SaveToTempFile(FALSE, FALSE));
    part->m_subParts.AddTail(sub);
    EXPECT_EQ(2u, ListFiles(TempDir()).size());

    delete part;
    EXPECT_EQ(1u, item->RefCount());
    EXPECT_EQ(1u, attachment->RefCount());
    EXPECT_TRUE(ListFiles(TempDir()).empty());
}

TEST_F(BodyPartTest, WriteBodyToFileReplacesWhatTheFileHeld)
{
    struct Case {
        const char* what;
        const wchar_t* body;
        const char* prefix;
        bool wantLength;
        std::string contents;
        DWORD length;
    };
    const Case cases[] = {
        {"prefix and text", L"Sign here", "Note: ", false, "Note: Sign here", 0},
        {"length asked", L"Sign here", nullptr, true, "Sign here", 9},
        {"empty, length asked: nothing written", L"", "Note: ", true, "", 0},
        {"empty: the default text", L"", nullptr, false, "message unspecified", 0},
        {"empty with prefix", L"", "P:", false, "P:message unspecified", 0},
    };
    const std::string path = TempDir() + "body.txt";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(path, std::string(200, 'S'));
        auto item = MailItem(c.body, L"<p>html</p>");
        CBodyPart part(item.Get(), 0, "Message Body", "Message Body", "");
        DWORD length = 1234;
        EXPECT_EQ(S_OK, part.WriteBodyToFile(path.c_str(), c.prefix,
                                             c.wantLength ? &length : nullptr, FALSE));
        EXPECT_EQ(c.contents, ReadFileBytes(path));
        EXPECT_EQ(c.wantLength ? c.length : 1234u, length);
    }

    auto item = MailItem(L"text", L"");
    CBodyPart part(item.Get(), 0, "Message Body", "Message Body", "");
    EXPECT_EQ(E_OUTOFMEMORY, part.WriteBodyToFile((TempDir() + "missing\\body.txt").c_str(),
                                                  nullptr, nullptr, FALSE));
    item->Fail(L"Body", DISP_E_EXCEPTION);
    EXPECT_EQ(DISP_E_EXCEPTION, part.WriteBodyToFile(path.c_str(), nullptr, nullptr, FALSE));
}

TEST_F(BodyPartTest, GetBodyKeepsSevenBitsOrGivesTheDefault)
{
    struct Case {
        const wchar_t* body;
        BOOL sevenBitOnly;
        BOOL defaultWhenEmpty;
        bool readFails;
        const char* expected;
    };
    const Case cases[] = {
        {L"Caf\u00e9 cr\u00e8me", TRUE, FALSE, false, "Caf crme"},
        {L"Caf\u00e9 cr\u00e8me", FALSE, FALSE, false, "Caf\xE9 cr\xE8me"},
        {L"Caf\u00e9", TRUE, TRUE, false, "Caf"},
        {L"", FALSE, TRUE, false, "message unspecified"},
        {L"", TRUE, FALSE, false, ""},
        {L"text", FALSE, FALSE, true, ""},
        {L"text", FALSE, TRUE, true, "message unspecified"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.expected << " " << c.sevenBitOnly << c.defaultWhenEmpty);
        auto item = MailItem(c.body, L"<p>html</p>");
        if (c.readFails)
            item->Fail(L"Body", E_FAIL);
        CBodyPart part(item.Get(), 0, "Message Body", "Message Body", "");
        part.m_bodyFormat = CBodyPart::kBodyFormatHtml; // the plain body all the same
        CString text = "junk";
        EXPECT_EQ(S_OK, part.GetBody(text, c.sevenBitOnly, c.defaultWhenEmpty));
        EXPECT_STREQ(c.expected, text);
    }
}
