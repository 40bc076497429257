#include "standins/outlook/model/RecordFile.h"

#include <algorithm>

#include "classlib/win32/Handles.h"

namespace standin {

namespace {

void AppendEscaped(std::string& out, const std::wstring& field)
{
    const std::string bytes = ToUtf8(field);
    for (char c : bytes) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
            break;
        }
    }
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return c - L'A';
    if (c >= L'a' && c <= L'z')
        return c - L'a' + 26;
    if (c >= L'0' && c <= L'9')
        return c - L'0' + 52;
    if (c == L'+')
        return 62;
    if (c == L'/')
        return 63;
    return -1;
}

} // namespace

void CRecordWriter::Write(const std::vector<std::wstring>& fields)
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            m_text += '\t';
        AppendEscaped(m_text, fields[i]);
    }
    m_text += '\n';
}

void CRecordReader::Error(const std::wstring& what) const
{
    throw CFormatError{L"line " + std::to_wstring(m_line) + L": " + what};
}

bool CRecordReader::Next(std::vector<std::wstring>& fields)
{
    while (m_pos < m_text.size()) {
        size_t end = m_text.find('\n', m_pos);
        if (end == std::string::npos)
            end = m_text.size();
        std::string line = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        ++m_line;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;

        fields.clear();
        std::string field;
        auto take = [&] {
            std::wstring text;
            if (!FromUtf8(field, text))
                Error(L"the text is not UTF-8");
            fields.push_back(std::move(text));
            field.clear();
        };
        for (size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '\t') {
                take();
            } else if (c == '\\') {
                if (++i == line.size())
                    Error(L"a backslash ends the line");
                switch (line[i]) {
                case '\\':
                    field += '\\';
                    break;
                case 't':
                    field += '\t';
                    break;
                case 'n':
                    field += '\n';
                    break;
                case 'r':
                    field += '\r';
                    break;
                default:
                    Error(L"unknown escape \\" + std::wstring(1, static_cast<wchar_t>(line[i])));
                }
            } else {
                field += c;
            }
        }
        take();
        return true;
    }
    return false;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

bool FromUtf8(const std::string& bytes, std::wstring& text)
{
    text.clear();
    if (bytes.empty())
        return true;
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                         static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0)
        return false;
    text.resize(static_cast<size_t>(size));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                        text.data(), size);
    return true;
}

std::wstring EncodeBase64(const std::string& bytes)
{
    std::wstring text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = bytes.size() - i;
        unsigned long group = static_cast<unsigned char>(bytes[i]) << 16;
        if (left > 1)
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (left > 2)
            group |= static_cast<unsigned char>(bytes[i + 2]);
        text += static_cast<wchar_t>(kBase64[(group >> 18) & 63]);
        text += static_cast<wchar_t>(kBase64[(group >> 12) & 63]);
        text += left > 1 ? static_cast<wchar_t>(kBase64[(group >> 6) & 63]) : L'=';
        text += left > 2 ? static_cast<wchar_t>(kBase64[group & 63]) : L'=';
    }
    return text;
}

bool DecodeBase64(const std::wstring& text, std::string& bytes)
{
    bytes.clear();
    if (text.size() % 4 != 0)
        return false;
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int values[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            const wchar_t c = text[i + static_cast<size_t>(k)];
            if (c == L'=' && last && k >= 2) {
                values[k] = 0;
                ++pad;
                continue;
            }
            if (pad) // a digit after padding
                return false;
            values[k] = Base64Value(c);
            if (values[k] < 0)
                return false;
        }
        const unsigned long group =
            (values[0] << 18) | (values[1] << 12) | (values[2] << 6) | values[3];
        bytes += static_cast<char>((group >> 16) & 0xFF);
        if (pad < 2)
            bytes += static_cast<char>((group >> 8) & 0xFF);
        if (pad < 1)
            bytes += static_cast<char>(group & 0xFF);
    }
    return true;
}

std::wstring SystemMessage(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : L"error " + std::to_wstring(code);
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes, std::wstring* error)
{
    bytes.clear();
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    auto fail = [&] {
        const DWORD code = GetLastError();
        if (error)
            *error = path + L": " + SystemMessage(code);
        SetLastError(code); // for a caller that answers with it
        return false;
    };
    if (!file)
        return fail();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return fail();
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        if (!ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr))
            return fail();
        if (read == 0)
            break;
        done += read;
    }
    bytes.resize(done);
    return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes, std::wstring* error)
{
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    auto fail = [&] {
        const DWORD code = GetLastError();
        if (error)
            *error = path + L": " + SystemMessage(code);
        SetLastError(code); // for a caller that answers with it
        return false;
    };
    if (!file)
        return fail();
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr))
            return fail();
        done += written;
    }
    return true;
}

} // namespace standin
