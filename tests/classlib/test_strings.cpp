#include <gtest/gtest.h>

#include "classlib/strings/CString.h"

TEST(CStringTest, SearchAndSlice)
{
    CString text("C:\\Prog\\QuillOff.dll");
    EXPECT_EQ(2, text.Find('\\'));
    EXPECT_EQ(7, text.ReverseFind('\\'));
    EXPECT_EQ(-1, text.Find("quilloff"));
    EXPECT_STREQ("QuillOff.dll", text.Mid(8));
    EXPECT_STREQ("C:", text.Left(2));
    EXPECT_STREQ("dll", text.Right(3));
    EXPECT_STREQ("", text.Mid(100));
    EXPECT_STREQ("C:\\Prog\\QuillOff.dll", text.Left(100));
}

TEST(CStringTest, ReplaceDoesNotRescanWhatItInserted)
{
    CString text("aXbXc");
    EXPECT_EQ(2, text.Replace("X", "XX"));
    EXPECT_STREQ("aXXbXXc", text);
    EXPECT_EQ(0, text.Replace("", "Y"));
}

TEST(CStringTest, FormatIsNeverCut)
{
    CString text;
    std::string longText(5000, 'q');
    text.Format("<%s>", longText.c_str());
    EXPECT_EQ(5002, text.GetLength());
    text.AppendFormat("%d", 42);
    EXPECT_STREQ("42", text.Right(2));
}

TEST(CStringTest, BufferRoundTrip)
{
    CString text("abc");
    char* buffer = text.GetBuffer(10);
    lstrcpyA(buffer, "hello");
    text.ReleaseBuffer();
    EXPECT_STREQ("hello", text);
    EXPECT_EQ(5, text.GetLength());
}

TEST(CStringTest, CaseAndTrim)
{
    CString text("  MiXed\t\r\n");
    text.Trim();
    EXPECT_STREQ("MiXed", text);
    EXPECT_EQ(0, text.CompareNoCase("mixed"));
    EXPECT_NE(0, text.Compare("mixed"));
    EXPECT_STREQ("MIXED", text.MakeUpper());
}
