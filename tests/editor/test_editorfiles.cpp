// The editor's file helpers: the open command a document gets, the integer
// and embedded-bytes writers of template saving.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "classlib/win32/CFile.h"
#include "classlib/win32/CRegKey.h"
#include "editor/files/LaunchApp.h"
#include "editor/files/OpenDocument.h"
#include "shared/requests/Template.h"
#include "shared/xml/XMLIO.h"
#include "tests/support/HResultText.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBase64.h"
#include "tests/support/TestEnv.h"

using namespace testenv;
using standin::Base64Decode;
using standin::Base64Encode;

namespace {

// File types registered under HKEY_CLASSES_ROOT for the test (extensions
// this prefix has none for), removed again when the test ends.
class LaunchTest : public CleanProfileTest {
protected:
    void TearDown() override
    {
        for (const std::string& key : m_keys)
            RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
        CleanProfileTest::TearDown();
    }

    // The command is stored as the value type given (REG_SZ or, as Windows
    // keeps many, REG_EXPAND_SZ).
    void Register(const std::string& extension, const std::string& type, const std::string& command,
                  DWORD stored = REG_SZ)
    {
        SetDefault(extension, type, REG_SZ);
        if (!command.empty())
            SetDefault(type + "\\shell\\open\\command", command, stored);
        m_keys.push_back(extension);
        m_keys.push_back(type);
    }

private:
    static void SetDefault(const std::string& key, const std::string& text, DWORD stored)
    {
        CRegKey created;
        ASSERT_EQ(ERROR_SUCCESS,
                  created.Create(HKEY_CLASSES_ROOT, key.c_str(), nullptr, KEY_WRITE));
        ASSERT_EQ(ERROR_SUCCESS, created.SetValue(nullptr, stored, text.c_str(),
                                                  static_cast<DWORD>(text.size() + 1)));
    }

    std::vector<std::string> m_keys;
};

} // namespace

TEST_F(LaunchTest, OpenCommandOfADocument)
{
    Register(".odt", "QuilletTest.Odt", "\"C:\\Viewer\\view.exe\" \"%1\"");
    Register(".ods", "QuilletTest.Ods", "C:\\Tools\\edit.exe");
    Register(".xlsx", "QuilletTest.Xlsx", "view.exe %1 --also %1");
    Register(".docx", "QuilletTest.NoCommand", "");
    Register(".exe", "QuilletTest.Exe", "\"%1\" %*");
    Register(".lnk", "QuilletTest.Lnk", "\"%1\"");
    const struct {
        const char* row;
        const char* path;
        HRESULT hr;
        const char* commandLine = "";
    } rows[] = {
        {.row = "%1 in quotes",
         .path = "C:\\Docs\\lease 3.odt",
         .hr = S_OK,
         .commandLine = "\"C:\\Viewer\\view.exe\" \"C:\\Docs\\lease 3.odt\""},
        {.row = "upper-case extension",
         .path = "C:\\Docs\\LEASE.ODT",
         .hr = S_OK,
         .commandLine = "\"C:\\Viewer\\view.exe\" \"C:\\Docs\\LEASE.ODT\""},
        {.row = "no %1: the path is added in quotes",
         .path = "C:\\My Docs\\notes.ods",
         .hr = S_OK,
         .commandLine = "C:\\Tools\\edit.exe \"C:\\My Docs\\notes.ods\""},
        {.row = "every %1, and a %1 in the path stays as it is",
         .path = "C:\\x%1y.xlsx",
         .hr = S_OK,
         .commandLine = "view.exe \"C:\\x%1y.xlsx\" --also \"C:\\x%1y.xlsx\""},
        {.row = "no extension", .path = "C:\\Docs\\lease", .hr = E_INVALIDARG},
        {.row = "a dot in the folder only", .path = "C:\\v1.2\\lease", .hr = E_INVALIDARG},
        {.row = "a program", .path = "C:\\Docs\\lease.pdf.exe", .hr = E_INVALIDARG},
        {.row = "a shortcut", .path = "C:\\Docs\\lease.lnk", .hr = E_INVALIDARG},
        {.row = "not letters and digits", .path = "C:\\Docs\\lease.p%s", .hr = E_INVALIDARG},
        {.row = "a quote in the path", .path = "C:\\Docs\\a\" b.pdf", .hr = E_INVALIDARG},
        {.row = "no open command", .path = "C:\\Docs\\lease.docx", .hr = E_FAIL},
        {.row = "no file type", .path = "C:\\Docs\\sheet.xls", .hr = E_FAIL},
        {.row = "no path", .path = "", .hr = E_INVALIDARG},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        CString commandLine = "junk";
        EXPECT_HR(row.hr, MakeLaunchCommand(row.path, commandLine));
        EXPECT_EQ(row.commandLine, commandLine.str());
    }
}

// Commands as Windows registers them: variables to expand (Notepad's), an
// unquoted "%1", and a user folder with a blank in its name.
TEST_F(LaunchTest, OpenCommandAsWindowsStoresIt)
{
    char root[MAX_PATH] = {};
    ASSERT_NE(0u, GetEnvironmentVariableA("SystemRoot", root, sizeof root));
    const std::string systemRoot = root;
    // A variable twice as long as any command line may be, expanded twice.
    const std::string huge(20000, 'x');
    ASSERT_TRUE(SetEnvironmentVariableA("QUILLET_TEST_HUGE", huge.c_str()));
    const struct {
        const char* row;
        DWORD stored;
        const char* command;
        const char* path;
        HRESULT hr = S_OK;
        std::string commandLine = "";
    } rows[] = {
        {.row = "Notepad's, to be expanded, and a user folder with a blank",
         .stored = REG_EXPAND_SZ,
         .command = "%SystemRoot%\\system32\\NOTEPAD.EXE %1",
         .path = "C:\\Users\\Ann Archer\\Documents\\lease.txt",
         .commandLine = systemRoot +
                        "\\system32\\NOTEPAD.EXE \"C:\\Users\\Ann Archer\\Documents\\lease.txt\""},
        {.row = "the path's own percent signs are never expanded",
         .stored = REG_EXPAND_SZ,
         .command = "%SystemRoot%\\system32\\NOTEPAD.EXE %1",
         .path = "C:\\Docs\\%SystemRoot%\\lease.txt",
         .commandLine =
             systemRoot + "\\system32\\NOTEPAD.EXE \"C:\\Docs\\%SystemRoot%\\lease.txt\""},
        {.row = "an unquoted %1 stored as plain text",
         .stored = REG_SZ,
         .command = "C:\\Tools\\view.exe %1 /p",
         .path = "C:\\Users\\Ann Archer\\lease.txt",
         .commandLine = "C:\\Tools\\view.exe \"C:\\Users\\Ann Archer\\lease.txt\" /p"},
        {.row = "%1 inside a quoted argument",
         .stored = REG_SZ,
         .command = "view.exe \"/open=%1\" %1",
         .path = "C:\\Users\\Ann Archer\\lease.txt",
         .commandLine = "view.exe \"/open=C:\\Users\\Ann Archer\\lease.txt\" "
                        "\"C:\\Users\\Ann Archer\\lease.txt\""},
        {.row = "an expansion longer than any command line",
         .stored = REG_EXPAND_SZ,
         .command = "%QUILLET_TEST_HUGE%%QUILLET_TEST_HUGE% %1",
         .path = "C:\\Docs\\lease.txt",
         .hr = E_FAIL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        Register(".txt", "QuilletTest.Txt", row.command, row.stored);
        CString commandLine = "junk";
        EXPECT_HR(row.hr, MakeLaunchCommand(row.path, commandLine));
        EXPECT_EQ(row.commandLine, commandLine.str());
    }
    SetEnvironmentVariableA("QUILLET_TEST_HUGE", nullptr);
}

TEST_F(LaunchTest, RefusalsAreLogged)
{
    LogCapture capture;
    EXPECT_HR(E_INVALIDARG, LaunchApp("C:\\Docs\\lease"));
    const std::string log = capture.Text();
    EXPECT_NE(std::string::npos, log.find("Exception thrown in LaunchApp")) << log;
}

TEST_F(LaunchTest, OpenDocumentRefusesWhatIsNoDocument)
{
    // Embedded bytes of a "program": nothing is decoded, nothing started.
    const std::string embedded = TempDir() + "Quil1.tmp";
    WriteFileBytes(embedded, Base64Encode("MZ not a document"));
    CTempDoc document;
    document.m_name = "invoice.exe";
    document.m_embeddedPath = embedded.c_str();
    CDocumentCopies copies;
    EXPECT_HR(E_INVALIDARG, OpenDocument(document, copies));
    EXPECT_EQ(std::vector<std::string>{"Quil1.tmp"}, ListFiles(TempDir()));
}

// ---- the writers of template saving ----

TEST_F(CleanProfileTest, WriteIntElement)
{
    const struct {
        int value;
        const char* text;
    } rows[] = {{12, "<Sequence>12</Sequence>\n"},
                {-1, "<Sequence>-1</Sequence>\n"},
                {0, "<Sequence>0</Sequence>\n"}};
    for (const auto& row : rows) {
        CXMLIO writer;
        EXPECT_HR(S_OK, writer.WriteIntElement("Sequence", row.value));
        EXPECT_EQ(row.text, writer.GetBuffer().str());
    }
}

TEST_F(CleanProfileTest, WriteFileBytesLines)
{
    const std::string source = TempDir() + "doc.pdf";
    const std::string bytes = RandomBytes(100, 11);
    WriteFileBytes(source, bytes);
    const std::string target = TempDir() + "out.txt";
    {
        CFile output;
        ASSERT_TRUE(output.Open(target.c_str(), CFile::modeCreate | CFile::modeWrite));
        EXPECT_HR(S_OK, CTemplate::WriteFileBytes(output, source.c_str()));
        CFile none;
        EXPECT_HR(E_ACCESSDENIED,
                  CTemplate::WriteFileBytes(none, (TempDir() + "gone.pdf").c_str()));
    }
    const std::string encoded = Base64Encode(bytes);
    EXPECT_EQ(encoded.substr(0, 64) + "\n" + encoded.substr(64, 64) + "\n" + encoded.substr(128) +
                  "\n",
              ReadFileBytes(target));
    EXPECT_EQ((std::vector<std::string>{"doc.pdf", "out.txt"}), ListFiles(TempDir()));
}
