// Text in a process whose ANSI code page is UTF-8: a letter is several
// bytes, and it must reach an XML file as the one character it is.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "classlib/win32/CFile.h"
#include "shared/requests/Template.h"
#include "shared/xml/XmlEscape.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

TEST(Utf8CodePageTest, TheProgramRunsWithUtf8AsItsAnsiCodePage)
{
    ASSERT_EQ(static_cast<UINT>(CP_UTF8), GetACP()) << "the manifest's code page did not apply";
}

TEST(Utf8CodePageTest, EachCharacterIsEscapedWhole)
{
    struct Case {
        const char* name;
        const char* text;
        const char* escaped;
    };
    const Case cases[] = {
        {"accented letters", "r\xc3\xa9sum\xc3\xa9", "r&#233;sum&#233;"},
        {"three bytes", "5 \xe2\x82\xac", "5 &#8364;"},
        {"beyond the first plane", "\xf0\x9f\x98\x80!", "&#128512;&#33;"},
        {"markup beside them", "\xc3\xa9<\xc3\xa9", "&#233;&lt;&#233;"},
        // Bytes that are no UTF-8 keep their Latin-1 selves: nothing is lost.
        {"a lone byte", "\xe9t\xe9", "&#233;t&#233;"},
        {"a sequence cut short", "a\xc3", "a&#195;"},
        {"a lead byte before a letter",
         "\xc3"
         "a",
         "&#195;a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(c.escaped, XmlEscaped(c.text));
    }
    EXPECT_STREQ("r&#233;sum&#233; (x)", XmlMarkupEscaped("r\xc3\xa9sum\xc3\xa9 (x)"));
}

// A superscript digit is two bytes here: COM and LPT with one are device
// names all the same, and a template may not be named so.
TEST(Utf8CodePageTest, SuperscriptDeviceNamesAreNoTemplateNames)
{
    for (const char* device : {"COM\xc2\xb9", "com\xc2\xb2.xml", "LPT\xc2\xb3"})
        EXPECT_FALSE(CTemplate::IsValidName(device)) << device;
    // One half is no digit.
    EXPECT_TRUE(CTemplate::IsValidName("COM\xc2\xbd"));
}

class Utf8FileTest : public CleanProfileTest {};

// A file is escaped a buffer at a time; a character the buffer's end cuts
// waits for its other bytes.
TEST_F(Utf8FileTest, ACharacterAcrossTheReadBufferStaysWhole)
{
    for (size_t before : {4061u, 4062u, 4063u, 4064u}) {
        SCOPED_TRACE(before);
        const std::string source = std::string(before, 'a') + "\xe2\x82\xac" + "b\xf0\x9f\x98\x80";
        const std::string path = TempDir() + "text.txt";
        WriteFileBytes(path, source);
        CFile input;
        ASSERT_TRUE(input.Open(path.c_str(), CFile::modeRead));
        CFile escaped;
        XmlEscapeFile(input, escaped);
        ASSERT_TRUE(escaped.IsOpen());
        std::string contents(static_cast<size_t>(escaped.GetLength()), '\0');
        ASSERT_EQ(contents.size(),
                  escaped.Read(contents.data(), static_cast<UINT>(contents.size())));
        EXPECT_EQ(std::string(before, 'a') + "&#8364;b&#128512;", contents);
        input.Close();
        const CString escapedPath = escaped.GetFilePath();
        escaped.Close();
        CFile::Remove(escapedPath);
    }
}

} // namespace
