// CString: the narrow (8-bit, process code page) string the system uses
// everywhere outside COM. Value semantics over std::string; the buffer
// members give C APIs a writable, zero-terminated area.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>
#include <windows.h>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(const char* text, int count) : m_text(text ? text : "", text && count > 0 ? count : 0)
    {}
    CString(char ch, int repeat = 1) : m_text(repeat > 0 ? repeat : 0, ch) {}
    CString(std::string_view text) : m_text(text) {}
    explicit CString(std::string text) : m_text(std::move(text)) {}

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }

    char GetAt(int index) const { return m_text.at(index); }
    void SetAt(int index, char ch) { m_text.at(index) = ch; }
    char operator[](int index) const { return GetAt(index); }

    operator const char*() const { return m_text.c_str(); }
    const char* GetString() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    CString& operator=(const char* text)
    {
        m_text = text ? text : "";
        return *this;
    }
    CString& operator+=(const CString& other)
    {
        m_text += other.m_text;
        return *this;
    }
    CString& operator+=(const char* text)
    {
        if (text)
            m_text += text;
        return *this;
    }
    CString& operator+=(char ch)
    {
        m_text += ch;
        return *this;
    }

    friend CString operator+(CString left, const CString& right) { return left += right; }
    friend CString operator+(CString left, const char* right) { return left += right; }
    friend CString operator+(const char* left, const CString& right)
    {
        return CString(left) += right;
    }
    friend CString operator+(CString left, char right) { return left += right; }

    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }

    // Byte-wise comparison; <0, 0 or >0 as strcmp.
    int Compare(const char* text) const;
    // Case-insensitive comparison in the ANSI code page, as lstrcmpiA.
    int CompareNoCase(const char* text) const;

    // Index of the first occurrence at or after start, or -1.
    int Find(char ch, int start = 0) const;
    int Find(const char* text, int start = 0) const;
    int ReverseFind(char ch) const;

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    CString& MakeUpper();
    CString& MakeLower();
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();

    // Replaces every occurrence (exact case); returns how many were replaced.
    int Replace(const char* oldText, const char* newText);
    int Replace(char oldCh, char newCh);
    int Remove(char ch);
    int Insert(int index, const char* text);
    int Delete(int index, int count = 1);

    // printf-style formatting; the text is never cut.
    void Format(const char* format, ...);
    void AppendFormat(const char* format, ...);
    void FormatV(const char* format, va_list args);

    // A writable buffer of at least minLength characters plus a zero; call
    // ReleaseBuffer afterwards (-1: the text ends at the first zero).
    char* GetBuffer(int minLength);
    char* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    // Loads a string resource of the module that registered itself as the
    // resource module (the deliverable); false when there is none.
    bool LoadString(UINT id);

private:
    std::string m_text;
};

// The module whose string table CString::LoadString reads; the deliverable
// sets it at start-up (a DLL its own instance, a program its own).
void SetResourceModule(HINSTANCE module);
HINSTANCE GetResourceModule();
