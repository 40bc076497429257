// The line format of the mailbox file and the ".msg" stand-in: UTF-8 text,
// one record a line, the record's fields separated by a tab. Inside a field
// a backslash, tab, line feed and carriage return are written "\\", "\t",
// "\n" and "\r", so any text survives; bytes travel as base64. Blank lines
// and lines starting with "#" are left out, so a prepared file can say what
// it holds; a carriage return ending a line is dropped (a file edited on
// Windows reads the same).
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace standin {

// A file that does not read; text says where and why.
struct CFormatError {
    std::wstring text;
};

class CRecordWriter {
public:
    void Write(const std::vector<std::wstring>& fields);
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

class CRecordReader {
public:
    explicit CRecordReader(const std::string& text) : m_text(text) {}

    // The next record; false at the end. Throws CFormatError on text that
    // is not UTF-8 or an unknown escape.
    bool Next(std::vector<std::wstring>& fields);
    size_t Line() const { return m_line; }
    // "line 12: " + what, thrown.
    [[noreturn]] void Error(const std::wstring& what) const;

private:
    const std::string& m_text;
    size_t m_pos = 0;
    size_t m_line = 0;
};

std::string ToUtf8(const std::wstring& text);
// False when the bytes are not UTF-8.
bool FromUtf8(const std::string& bytes, std::wstring& text);

std::wstring EncodeBase64(const std::string& bytes);
// False on a character outside the alphabet or a broken length.
bool DecodeBase64(const std::wstring& text, std::string& bytes);

// A whole file in and out; false with the system's reason.
bool ReadWholeFile(const std::wstring& path, std::string& bytes, std::wstring* error);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes, std::wstring* error);
// The system's text for a Win32 error code.
std::wstring SystemMessage(DWORD code);

} // namespace standin
