#include "classlib/strings/CString.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

HINSTANCE g_resourceModule = nullptr;

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

} // namespace

void SetResourceModule(HINSTANCE module)
{
    g_resourceModule = module;
}

HINSTANCE GetResourceModule()
{
    return g_resourceModule ? g_resourceModule : GetModuleHandleA(nullptr);
}

int CString::Compare(const char* text) const
{
    return std::strcmp(m_text.c_str(), text ? text : "");
}

int CString::CompareNoCase(const char* text) const
{
    return lstrcmpiA(m_text.c_str(), text ? text : "");
}

int CString::Find(char ch, int start) const
{
    if (start < 0 || start > GetLength())
        return -1;
    auto at = m_text.find(ch, start);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char* text, int start) const
{
    if (!text || start < 0 || start > GetLength())
        return -1;
    auto at = m_text.find(text, start);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const
{
    auto at = m_text.rfind(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

CString CString::Left(int count) const
{
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(0, count));
}

CString CString::Right(int count) const
{
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(m_text.size() - count));
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_text.substr(first, count));
}

CString& CString::MakeUpper()
{
    if (!m_text.empty())
        CharUpperBuffA(m_text.data(), static_cast<DWORD>(m_text.size()));
    return *this;
}

CString& CString::MakeLower()
{
    if (!m_text.empty())
        CharLowerBuffA(m_text.data(), static_cast<DWORD>(m_text.size()));
    return *this;
}

CString& CString::Trim()
{
    return TrimRight().TrimLeft();
}

CString& CString::TrimLeft()
{
    auto first = std::find_if_not(m_text.begin(), m_text.end(), IsBlank);
    m_text.erase(m_text.begin(), first);
    return *this;
}

CString& CString::TrimRight()
{
    while (!m_text.empty() && IsBlank(m_text.back()))
        m_text.pop_back();
    return *this;
}

int CString::Replace(const char* oldText, const char* newText)
{
    if (!oldText || !*oldText)
        return 0;
    const std::string from(oldText);
    const std::string to(newText ? newText : "");
    int count = 0;
    for (auto at = m_text.find(from); at != std::string::npos;
         at = m_text.find(from, at + to.size())) {
        m_text.replace(at, from.size(), to);
        ++count;
    }
    return count;
}

int CString::Replace(char oldCh, char newCh)
{
    int count = 0;
    for (char& ch : m_text) {
        if (ch == oldCh) {
            ch = newCh;
            ++count;
        }
    }
    return count;
}

int CString::Remove(char ch)
{
    auto end = std::remove(m_text.begin(), m_text.end(), ch);
    int count = static_cast<int>(m_text.end() - end);
    m_text.erase(end, m_text.end());
    return count;
}

int CString::Insert(int index, const char* text)
{
    index = std::clamp(index, 0, GetLength());
    m_text.insert(index, text ? text : "");
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && index < GetLength() && count > 0)
        m_text.erase(index, count);
    return GetLength();
}

void CString::FormatV(const char* format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {
        m_text.clear();
        return;
    }
    std::string text(length, '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    m_text = std::move(text);
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const char* format, ...)
{
    CString more;
    va_list args;
    va_start(args, format);
    more.FormatV(format, args);
    va_end(args);
    m_text += more.m_text;
}

char* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_text.resize(minLength, '\0');
    return m_text.data();
}

char* CString::GetBufferSetLength(int length)
{
    m_text.resize(length > 0 ? length : 0, '\0');
    return m_text.data();
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        newLength = static_cast<int>(std::strlen(m_text.c_str()));
    m_text.resize(std::min<size_t>(newLength, m_text.size()));
}

bool CString::LoadString(UINT id)
{
    // LoadStringA with a zero length hands back a read-only pointer into the
    // resource and its length, so any length of string loads whole.
    const wchar_t* resource = nullptr;
    int units = LoadStringW(GetResourceModule(), id, reinterpret_cast<LPWSTR>(&resource), 0);
    if (units <= 0 || !resource)
        return false;
    int bytes = WideCharToMultiByte(CP_ACP, 0, resource, units, nullptr, 0, nullptr, nullptr);
    std::string text(bytes, '\0');
    WideCharToMultiByte(CP_ACP, 0, resource, units, text.data(), bytes, nullptr, nullptr);
    m_text = std::move(text);
    return true;
}
