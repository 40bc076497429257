#include "shared/xml/XmlProlog.h"

#include <string>

#include "classlib/win32/Handles.h"

namespace {

enum class Prolog { Root, Declaration, Unfinished };

// Reads text as a sequence of code units: bytes, or 16-bit units of UTF-16
// in either byte order. Only ASCII matters here, so a multi-byte character
// is just something that is not markup.
class Units {
public:
    explicit Units(std::string_view text) : m_text(text)
    {
        const auto byte = [&](size_t at) {
            return at < text.size() ? static_cast<unsigned char>(text[at]) : -1;
        };
        if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
            m_at = 3;
        } else if (byte(0) == 0xFF && byte(1) == 0xFE) {
            m_width = 2;
            m_at = 2;
        } else if (byte(0) == 0xFE && byte(1) == 0xFF) {
            m_width = 2;
            m_bigEndian = true;
            m_at = 2;
        } else if (byte(0) > 0 && byte(1) == 0) {
            // No other text the parser takes has a zero byte this early.
            m_width = 2;
        } else if (byte(0) == 0 && byte(1) > 0) {
            m_width = 2;
            m_bigEndian = true;
        }
    }

    bool AtEnd(size_t ahead = 0) const { return m_at + (ahead + 1) * m_width > m_text.size(); }
    // The unit ahead of the current one (0 is the current); -1 past the end.
    long Peek(size_t ahead = 0) const
    {
        if (AtEnd(ahead))
            return -1;
        const size_t at = m_at + ahead * m_width;
        const auto first = static_cast<unsigned char>(m_text[at]);
        if (m_width == 1)
            return first;
        const auto second = static_cast<unsigned char>(m_text[at + 1]);
        return m_bigEndian ? (first << 8) | second : (second << 8) | first;
    }
    bool Starts(const char* ascii) const
    {
        for (size_t i = 0; ascii[i]; ++i) {
            if (Peek(i) != static_cast<unsigned char>(ascii[i]))
                return false;
        }
        return true;
    }
    void Skip(size_t count = 1) { m_at += count * m_width; }
    // Moves past the next occurrence of end; false when it does not come.
    bool SkipPast(const char* end)
    {
        while (!AtEnd()) {
            if (Starts(end)) {
                Skip(std::char_traits<char>::length(end));
                return true;
            }
            Skip();
        }
        return false;
    }

private:
    std::string_view m_text;
    size_t m_at = 0;
    size_t m_width = 1;
    bool m_bigEndian = false;
};

Prolog ScanProlog(std::string_view text)
{
    Units units(text);
    for (;;) {
        const long unit = units.Peek();
        if (unit == ' ' || unit == '\t' || unit == '\r' || unit == '\n') {
            units.Skip();
            continue;
        }
        if (unit == -1 || units.AtEnd(1))
            return Prolog::Unfinished;
        if (unit != '<')
            return Prolog::Root; // no document; the parser says so
        if (units.Starts("<?")) {
            if (!units.SkipPast("?>"))
                return Prolog::Unfinished;
            continue;
        }
        if (units.Starts("<!--")) {
            if (!units.SkipPast("-->"))
                return Prolog::Unfinished;
            continue;
        }
        if (units.Peek(1) == '!')
            return units.AtEnd(3) ? Prolog::Unfinished : Prolog::Declaration;
        return Prolog::Root;
    }
}

// Far more than the declaration and comments any of our documents starts with.
constexpr DWORD kLongestProlog = 1 << 20;

} // namespace

bool PrologDeclaresDtd(std::string_view text)
{
    return ScanProlog(text) == Prolog::Declaration;
}

HRESULT CheckFileProlog(const char* path)
{
    if (!path)
        return S_OK;
    CFileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return S_OK;
    std::string head;
    DWORD want = 4096;
    for (;;) {
        const size_t had = head.size();
        head.resize(want);
        DWORD got = 0;
        if (!ReadFile(file.Get(), head.data() + had, static_cast<DWORD>(want - had), &got, nullptr))
            got = 0;
        head.resize(had + got);
        const Prolog prolog = ScanProlog(head);
        if (prolog == Prolog::Declaration)
            return kXmlDtdRefused;
        if (prolog == Prolog::Root || got == 0 || head.size() < want)
            return S_OK;
        if (want >= kLongestProlog)
            return kXmlDtdRefused;
        want *= 2;
    }
}
