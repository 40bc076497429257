#include "shared/xml/XmlEscape.h"

#include <array>
#include <cstring>
#include <windows.h>

#include "shared/requests/FileMgr.h"

namespace {

// Room for "&#1114111;" (the last code point) and its zero.
using Reference = std::array<char, 12>;

constexpr Reference MakeReference(unsigned value)
{
    Reference text{'&', '#'};
    char digits[8] = {};
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    int at = 2;
    while (count > 0)
        text[at++] = digits[--count];
    text[at] = ';';
    return text;
}

// The lower half, built at compile time from the rules: letters, digits,
// blank, ".", ";" and line ends stay; control bytes that XML cannot hold
// vanish; the markup characters get entities and the remaining
// punctuation, tab included, numeric references.
struct LowerTable {
    std::array<const char*, 128> entry{};
    std::array<Reference, 128> reference{};

    constexpr LowerTable()
    {
        for (unsigned byte = 0; byte < 128; ++byte) {
            reference[byte] = MakeReference(byte);
            const bool kept = byte == 10 || byte == 13 || byte == 32 || byte == 46 ||
                              (byte >= 48 && byte <= 57) || byte == 59 ||
                              (byte >= 65 && byte <= 90) || (byte >= 97 && byte <= 122);
            const bool dropped =
                byte <= 8 || byte == 11 || byte == 12 || (byte >= 14 && byte <= 31);
            if (kept)
                entry[byte] = nullptr;
            else if (dropped)
                entry[byte] = "";
            else
                entry[byte] = reference[byte].data();
        }
        entry['"'] = "&quot;";
        entry['&'] = "&amp;";
        entry['<'] = "&lt;";
        entry['>'] = "&gt;";
    }
};

constexpr LowerTable kLower;

// The reference of a UTF-16 character, or "" for one XML cannot hold.
Reference ReferenceOf(wchar_t unit)
{
    if (unit < 0x20 && unit != 9 && unit != 10 && unit != 13)
        return Reference{};
    if (unit == 0xFFFE || unit == 0xFFFF || (unit >= 0xD800 && unit <= 0xDFFF))
        return Reference{};
    return MakeReference(unit);
}

// The reference of the character bytes stand for in the ANSI code page
// (one UTF-16 unit, or a pair beyond the first plane); a byte the code page
// leaves undefined counts as its Latin-1 self, so nothing is ever lost.
Reference AnsiReference(const char* bytes, int count)
{
    wchar_t unit[2] = {};
    const int got = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, count, unit, 2);
    if (got == 1)
        return ReferenceOf(unit[0]);
    if (got == 2 && unit[0] >= 0xD800 && unit[0] <= 0xDBFF && unit[1] >= 0xDC00 &&
        unit[1] <= 0xDFFF)
        return MakeReference(0x10000 + ((unit[0] - 0xD800u) << 10) + (unit[1] - 0xDC00u));
    return MakeReference(static_cast<unsigned char>(bytes[0]));
}

// Windows' "Use Unicode UTF-8 for worldwide language support" makes the
// ANSI code page UTF-8, whose characters take up to four bytes.
bool AnsiIsUtf8()
{
    static const bool utf8 = GetACP() == CP_UTF8;
    return utf8;
}

// The upper half, for the code page this process runs with (which does not
// change while it runs); the 145 and 146 of Windows-1252, the single
// quotation marks, become apostrophes whatever the code page.
struct UpperTable {
    std::array<Reference, 128> reference{};

    UpperTable()
    {
        for (unsigned byte = 128; byte < 256; ++byte) {
            const char ch = static_cast<char>(byte);
            reference[byte - 128] = AnsiReference(&ch, 1);
        }
        reference[145 - 128] = MakeReference('\'');
        reference[146 - 128] = MakeReference('\'');
    }
};

const UpperTable& Upper()
{
    static const UpperTable table;
    return table;
}

// How many bytes the character that starts with byte takes in the ANSI
// code page: a double-byte code page's lead byte and its trail, a UTF-8
// sequence whole, else the byte alone.
size_t CharacterLength(unsigned char byte)
{
    if (byte < 128)
        return 1;
    if (AnsiIsUtf8())
        return byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return IsDBCSLeadByteEx(CP_ACP, byte) ? 2 : 1;
}

} // namespace

const char* XmlEscapeEntry(unsigned char byte)
{
    if (byte < 128)
        return kLower.entry[byte];
    return Upper().reference[byte - 128].data();
}

size_t XmlEscapeNext(std::string_view text, std::string& out)
{
    if (text.empty())
        return 0;
    const auto byte = static_cast<unsigned char>(text[0]);
    const size_t length = CharacterLength(byte);
    if (length > 1 && text.size() >= length) {
        wchar_t unit[2] = {};
        // A sequence the code page does not take whole is its bytes' own.
        if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(length),
                                unit, 2) > 0) {
            out += AnsiReference(text.data(), static_cast<int>(length)).data();
            return length;
        }
    }
    const char* entry = XmlEscapeEntry(byte);
    if (entry)
        out += entry;
    else
        out += text[0];
    return 1;
}

CString XmlEscaped(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    while (!text.empty())
        text.remove_prefix(XmlEscapeNext(text, escaped));
    return CString(std::move(escaped));
}

void XmlEscape(CString& text)
{
    text = XmlEscaped(text);
}

CString XmlMarkupEscaped(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        size_t took = 1;
        if (byte >= 128 || byte == '&' || byte == '<' || byte == '>' ||
            (byte < 32 && byte != 9 && byte != 10 && byte != 13))
            took = XmlEscapeNext(text, escaped);
        else
            escaped += text[0];
        text.remove_prefix(took);
    }
    return CString(std::move(escaped));
}

void XmlEscapeFile(CFile& source, CFile& destination)
{
    CFileMgr names;
    if (!names.MakeTempName(nullptr))
        return;
    if (!destination.Open(names.GetFilePath(),
                          CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive)) {
        CFile::Remove(names.GetFilePath());
        return;
    }

    // Documents of any size pass through this one buffer. A character never
    // splits across chunks: the start of one that ends a chunk waits for
    // the rest.
    const LONGLONG length = source.GetLength();
    LONGLONG position = source.GetPosition();
    char chunk[127 * 32 + 1];
    UINT held = 0;
    while (position >= 0 && position < length) {
        const UINT count = source.Read(chunk + held, sizeof chunk - 1 - held);
        if (count == 0)
            break;
        UINT ready = held + count;
        position = source.GetPosition();
        std::string escaped;
        std::string_view rest(chunk, ready);
        while (!rest.empty()) {
            if (rest.size() < CharacterLength(static_cast<unsigned char>(rest[0])) &&
                position < length)
                break;
            rest.remove_prefix(XmlEscapeNext(rest, escaped));
        }
        destination.Write(CString(std::move(escaped)));
        held = static_cast<UINT>(rest.size());
        std::memmove(chunk, rest.data(), held);
    }
    if (held) {
        std::string escaped;
        std::string_view rest(chunk, held);
        while (!rest.empty())
            rest.remove_prefix(XmlEscapeNext(rest, escaped));
        destination.Write(CString(std::move(escaped)));
    }
    destination.SeekToBegin();
}
