#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/requests/FileMgr.h"
#include "shared/xml/XMLDoc.h"
#include "shared/xml/XMLIO.h"
#include "shared/xml/XmlEscape.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

TEST(XmlEscapeTest, LowerHalfAsTheTableSays)
{
    // One row per run of bytes that share a treatment: null keeps the byte,
    // "" drops it, "#" gives its own numeric reference.
    struct Row {
        int first, last;
        const char* treatment;
    };
    const Row rows[] = {
        {0, 8, ""},         {9, 9, "#"},       {10, 10, nullptr}, {11, 12, ""},
        {13, 13, nullptr},  {14, 31, ""},      {32, 32, nullptr}, {33, 33, "#"},
        {34, 34, "&quot;"}, {35, 37, "#"},     {38, 38, "&amp;"}, {39, 45, "#"},
        {46, 46, nullptr},  {47, 47, "#"},     {48, 57, nullptr}, {58, 58, "#"},
        {59, 59, nullptr},  {60, 60, "&lt;"},  {61, 61, "#"},     {62, 62, "&gt;"},
        {63, 64, "#"},      {65, 90, nullptr}, {91, 96, "#"},     {97, 122, nullptr},
        {123, 127, "#"},
    };
    int next = 0;
    for (const Row& row : rows) {
        ASSERT_EQ(next, row.first) << "rows cover every byte once";
        for (int byte = row.first; byte <= row.last; ++byte) {
            const char* entry = XmlEscapeEntry(static_cast<unsigned char>(byte));
            std::string expected;
            if (!row.treatment)
                expected = std::string(1, static_cast<char>(byte));
            else if (std::string(row.treatment) == "#")
                expected = "&#" + std::to_string(byte) + ";";
            else
                expected = row.treatment;
            std::string got = entry ? std::string(entry) : std::string(1, static_cast<char>(byte));
            EXPECT_EQ(expected, got) << "byte " << byte;
        }
        next = row.last + 1;
    }
    EXPECT_EQ(128, next);
}

TEST(XmlEscapeTest, UpperHalfBecomesTheCharacterOfTheCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the rows are those of Windows-1252; this process runs code page "
                     << GetACP();
    // Windows-1252 from 128 to 159 (0 where it defines nothing: the byte
    // stands for itself); from 160 on it is Latin-1.
    const unsigned kFrom128[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
    };
    for (int byte = 128; byte < 256; ++byte) {
        unsigned character = byte >= 160 ? byte : kFrom128[byte - 128];
        if (character == 0)
            character = byte;
        // The single quotation marks were always apostrophes.
        if (byte == 145 || byte == 146)
            character = '\'';
        const std::string expected = "&#" + std::to_string(character) + ";";
        EXPECT_STREQ(expected.c_str(), XmlEscapeEntry(static_cast<unsigned char>(byte)))
            << "byte " << byte;
    }
}

TEST(XmlEscapeTest, TextEscapesAsAUserWouldSeeIt)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "written in Windows-1252; this process runs code page " << GetACP();
    CString text("O'Brien & Co. (\"Sales\") <b>\tr\xe9sum\xe9; 1+1=2\r\n\x01\x80");
    XmlEscape(text);
    EXPECT_STREQ("O&#39;Brien &amp; Co. &#40;&quot;Sales&quot;&#41; &lt;b&gt;&#9;r&#233;sum&#233;; "
                 "1&#43;1&#61;2\r\n&#8364;",
                 text);
    EXPECT_STREQ("&#39;&#39;", XmlEscaped("\x91\x92"));
    EXPECT_STREQ("", XmlEscaped(nullptr));
    // Markup escaping leaves the punctuation as typed.
    EXPECT_STREQ(
        "O'Brien &amp; Co. (\"Sales\") &lt;b&gt;\tr&#233;sum&#233;; 1+1=2\r\n&#8364;",
        XmlMarkupEscaped("O'Brien & Co. (\"Sales\") <b>\tr\xe9sum\xe9; 1+1=2\r\n\x01\x80"));
}

TEST(XmlWriterTest, WriteElementForms)
{
    struct Case {
        const char* name;
        const char* tag;
        const char* value;
        BOOL skipEmpty;
        BOOL escape;
        HRESULT hr;
        const char* written;
    };
    const Case cases[] = {
        {"Escaped", "Subject", "a<b", FALSE, TRUE, S_OK, "<Subject>a&lt;b</Subject>\n"},
        {"Raw", "Subject", "a<b", FALSE, FALSE, S_OK, "<Subject>a<b</Subject>\n"},
        {"EmptyWritten", "Note", "", FALSE, TRUE, S_OK, "<Note></Note>\n"},
        {"NullWritten", "Note", nullptr, FALSE, TRUE, S_OK, "<Note></Note>\n"},
        {"EmptySkipped", "Note", "", TRUE, TRUE, S_OK, ""},
        {"ValueWithoutTag", nullptr, "<SendOptions>\n", FALSE, TRUE, S_OK, "<SendOptions>\n"},
        {"ValueWithEmptyTag", "", "a&b", FALSE, TRUE, S_OK, "a&b"},
        {"Neither", "", "", FALSE, FALSE, E_INVALIDARG, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXMLIO writer;
        EXPECT_EQ(c.hr, writer.WriteElement(c.tag, c.value, c.skipEmpty, c.escape));
        EXPECT_STREQ(c.written, writer.GetBuffer());
    }
}

class XmlFileTest : public CleanProfileTest {};

// Escaped text is plain ASCII and reads back as what was written, whatever
// the file declares: the SOAP bodies and request files (UTF-8 or nothing)
// and the templates and receipts (ISO-8859-1).
TEST_F(XmlFileTest, EscapedTextReadsBackWhole)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "written in Windows-1252; this process runs code page " << GetACP();
    struct Case {
        const char* name;
        const char* value;
        const char* readBack; // null: the value itself
    };
    const Case cases[] = {
        {"Sender", "J\xFCrgen M\xFCller & S\xF6hne <Sales>", nullptr},
        {"TempFolder", "C:\\users\\Public\\Jos\xE9 M\xFCller\\Quill1.xml", nullptr},
        {"Euro", "\x80 100; caf\xE9 \xC9milie na\xEFve", nullptr},
        {"Punctuation", "O'Brien \"q\" (a+b=c) 50% #1 ~x", nullptr},
        {"SingleQuotes", "\x91quoted\x92", "'quoted'"},
        {"Controls",
         "a\x01\x1F"
         "b\tc",
         "ab\tc"},
    };
    const char* const declarations[] = {"", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                                        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string expected = c.readBack ? c.readBack : c.value;
        for (const CString& escaped : {XmlEscaped(c.value), XmlMarkupEscaped(c.value)}) {
            for (char ch : escaped.str())
                ASSERT_LT(static_cast<unsigned char>(ch), 128u) << escaped;
            for (const char* declaration : declarations) {
                SCOPED_TRACE(declaration);
                WriteFileBytes(TempDir() + "value.xml",
                               std::string(declaration) + "<a>" + escaped.str() + "</a>");
                CXMLDoc document;
                ASSERT_EQ(S_OK, document.LoadFile((TempDir() + "value.xml").c_str()));
                CString read;
                ASSERT_EQ(S_OK, document.GetSingleNodeValue("/a", read));
                EXPECT_EQ(expected, read.str());
            }
        }
    }
}

TEST_F(XmlFileTest, OutputFileIsNewAndReceivesTheElements)
{
    CXMLIO writer;
    CString path("junk");
    ASSERT_EQ(S_OK, writer.OpenOutputFile(path, ".xml"));
    EXPECT_EQ(0, path.Find(TempDir().c_str())) << path;
    EXPECT_STREQ(".xml", path.Right(4));
    EXPECT_STREQ("Qui", path.Mid(static_cast<int>(TempDir().size()), 3));
    ASSERT_EQ(S_OK, writer.WriteElement("inkBroadcast", nullptr, FALSE, FALSE));
    ASSERT_EQ(S_OK, writer.WriteElement("Path", "C:\\a&b", FALSE, TRUE));
    EXPECT_STREQ("", writer.GetBuffer()) << "with a file open nothing goes to the buffer";

    CXMLIO other;
    CString otherPath;
    ASSERT_EQ(S_OK, other.OpenOutputFile(otherPath, ".xml"));
    EXPECT_NE(path, otherPath);

    writer.Close();
    EXPECT_FALSE(writer.IsOutputOpen());
    EXPECT_EQ("<inkBroadcast></inkBroadcast>\n<Path>C&#58;&#92;a&amp;b</Path>\n",
              ReadFileBytes(path.str()));
}

TEST_F(XmlFileTest, TempNamesTakeTheirFormat)
{
    CFileMgr plain;
    ASSERT_EQ(1, plain.MakeTempName(nullptr));
    EXPECT_TRUE(FileExists(plain.GetFilePath().str())) << "the empty file reserves the name";
    EXPECT_EQ(0, plain.GetFilePath().Right(4).CompareNoCase(".tmp"));

    CFileMgr xml;
    ASSERT_EQ(1, xml.MakeTempName(".xml"));
    EXPECT_FALSE(FileExists(xml.GetFilePath().str())) << "a reshaped name is left to its caller";
    EXPECT_STREQ(".xml", xml.GetFilePath().Right(4));
    EXPECT_EQ(0, xml.GetFilePath().Find((TempDir() + "Qui").c_str()));

    CFileMgr signedCopy;
    ASSERT_EQ(1, signedCopy.MakeTempName("Signed Copy %s.pdf"));
    const CString name = signedCopy.GetFilePath().Mid(static_cast<int>(TempDir().size()));
    EXPECT_EQ(0, name.Find("Signed Copy Qui")) << name;
    EXPECT_STREQ(".pdf", name.Right(4));
    EXPECT_EQ(-1, name.Find(".tmp"));

    EXPECT_EQ(
        std::vector<std::string>{plain.GetFilePath().Mid(static_cast<int>(TempDir().size())).str()},
        ListFiles(TempDir()));
}

// The system's own temporary names are 16-bit: 65,535 per prefix and folder,
// each slower to find than the last as the folder fills. Ours never run out.
TEST_F(XmlFileTest, TempNamesNeverRunOut)
{
    // More names than a 16-bit number can tell apart, none of them the same.
    std::set<std::string> names;
    for (int i = 0; i < 70000; ++i) {
        CFileMgr shaped;
        ASSERT_EQ(1, shaped.MakeTempName(".xml")) << i;
        // Windows tells names apart without regard to case.
        std::string name = shaped.GetFilePath().str();
        CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
        ASSERT_TRUE(names.insert(name).second) << "given twice: " << name;
    }
    EXPECT_EQ(std::vector<std::string>{}, ListFiles(TempDir())) << "reshaped names make no file";

    // Files in a folder where the names the system would hand out next are
    // taken by stale files: each is new and empty, no stale one is touched.
    char probe[MAX_PATH];
    ASSERT_NE(0u, GetTempFileNameA(TempDir().c_str(), "Quill", 0, probe));
    const std::string probeName = std::string(probe).substr(TempDir().size());
    const unsigned first = std::stoul(probeName.substr(3), nullptr, 16);
    std::set<std::string> stale{probeName};
    for (unsigned unique = first + 1; unique < first + 300; ++unique) {
        char name[32];
        wsprintfA(name, "Qui%X.tmp", unique & 0xFFFF);
        WriteFileBytes(TempDir() + name, "stale");
        stale.insert(name);
    }
    WriteFileBytes(probe, "stale");
    std::set<std::string> made;
    for (int i = 0; i < 200; ++i) {
        CFileMgr plain;
        ASSERT_EQ(1, plain.MakeTempName(nullptr));
        CString path;
        CFileHandle file(CreateNewTempFile(nullptr, ".xml", path));
        ASSERT_TRUE(file.IsValid());
        for (const CString& given : {plain.GetFilePath(), path}) {
            const std::string name = given.Mid(static_cast<int>(TempDir().size())).str();
            EXPECT_EQ(0u, name.find("Qui")) << name;
            EXPECT_EQ("", ReadFileBytes(given.str())) << name;
            EXPECT_TRUE(made.insert(name).second) << "given twice: " << name;
            EXPECT_EQ(0u, stale.count(name)) << name;
        }
    }
    for (const std::string& name : stale)
        EXPECT_EQ("stale", ReadFileBytes(TempDir() + name)) << name;
}

TEST_F(XmlFileTest, EscapedFileMatchesTheEscapedTextFromTheSourcePosition)
{
    std::string source;
    for (int i = 0; i < 300; ++i)
        source += "AZaz09+/="[i % 9];
    WriteFileBytes(TempDir() + "doc.b64", source);
    CFile input;
    ASSERT_TRUE(input.Open((TempDir() + "doc.b64").c_str(), CFile::modeRead));
    input.Seek(10, CFile::begin);
    CFile escaped;
    XmlEscapeFile(input, escaped);
    ASSERT_TRUE(escaped.IsOpen());
    EXPECT_EQ(0, escaped.GetPosition()) << "the destination is rewound";
    std::string contents(static_cast<size_t>(escaped.GetLength()), '\0');
    ASSERT_EQ(contents.size(), escaped.Read(contents.data(), static_cast<UINT>(contents.size())));
    EXPECT_EQ(XmlEscaped(source.substr(10)).str(), contents);
    EXPECT_NE(std::string::npos, contents.find("&#43;&#47;&#61;"));
}

TEST_F(XmlFileTest, DecodeFileToTempNamesAndFillsTheFile)
{
    WriteFileBytes(TempDir() + "signed.b64", "JVBERi0xLjQK\n"); // "%PDF-1.4\n"
    const std::string source = TempDir() + "signed.b64";
    struct Case {
        const char* format;
        const char* prefix;
        const char* suffix;
    };
    const Case cases[] = {
        {"Signed Copy %s.pdf", "Signed Copy Qui", ".pdf"},
        {".pdf", "Qui", ".pdf"},
        {nullptr, "Qui", ".tmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format ? c.format : "null");
        CString path;
        ASSERT_EQ(S_OK, CXMLIO::DecodeFileToTemp(source.c_str(), c.format, path));
        const CString name = path.Mid(static_cast<int>(TempDir().size()));
        EXPECT_EQ(0, name.Find(c.prefix)) << name;
        EXPECT_EQ(0, name.Right(4).CompareNoCase(c.suffix)) << name;
        EXPECT_EQ("%PDF-1.4\n", ReadFileBytes(path.str()));
        DeleteFileA(path);
        EXPECT_EQ(std::vector<std::string>{"signed.b64"}, ListFiles(TempDir()))
            << "no placeholder is left behind";
    }

    CString path("junk");
    EXPECT_EQ(E_FAIL, CXMLIO::DecodeFileToTemp((TempDir() + "missing.b64").c_str(), ".pdf", path));
    EXPECT_EQ(std::vector<std::string>{"signed.b64"}, ListFiles(TempDir()));
}

TEST_F(XmlFileTest, ElementTempFileIsClosedWithItsElement)
{
    std::string path;
    {
        CXMLElem element("Document");
        ASSERT_EQ(S_OK, element.CreateTempFile());
        ASSERT_TRUE(element.m_tempFile);
        path = element.m_tempPath.str();
        EXPECT_TRUE(element.m_tempFile->Write("JVBE", 4));
        EXPECT_FALSE(DeleteFileA(path.c_str()))
            << "open without sharing while the element holds it";
    }
    EXPECT_EQ("JVBE", ReadFileBytes(path));
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "closed, so whoever took the path can remove it";
}
