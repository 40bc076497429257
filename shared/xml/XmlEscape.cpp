#include "shared/xml/XmlEscape.h"

#include <array>

#include "shared/requests/FileMgr.h"

namespace {

// Built once at compile time from the rules: letters, digits, blank, ".",
// ";" and line ends stay; control bytes and the upper half vanish (but the
// two Windows-1252 single quotes, which become apostrophes); the markup
// characters get entities and the remaining punctuation, tab included,
// numeric references.
struct EscapeTable {
    std::array<const char*, 256> entry{};
    std::array<std::array<char, 7>, 256> reference{};

    constexpr EscapeTable()
    {
        for (int byte = 0; byte < 256; ++byte) {
            auto& text = reference[byte];
            text = {'&', '#', 0, 0, 0, 0, 0};
            int at = 2;
            if (byte >= 100)
                text[at++] = static_cast<char>('0' + byte / 100);
            if (byte >= 10)
                text[at++] = static_cast<char>('0' + byte / 10 % 10);
            text[at++] = static_cast<char>('0' + byte % 10);
            text[at] = ';';
        }
        for (int byte = 0; byte < 256; ++byte) {
            const bool kept = byte == 10 || byte == 13 || byte == 32 || byte == 46 ||
                              (byte >= 48 && byte <= 57) || byte == 59 ||
                              (byte >= 65 && byte <= 90) || (byte >= 97 && byte <= 122);
            const bool dropped = byte <= 8 || byte == 11 || byte == 12 ||
                                 (byte >= 14 && byte <= 31) || (byte >= 128 && byte <= 144) ||
                                 byte >= 147;
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
        entry[145] = "&#39;";
        entry[146] = "&#39;";
    }
};

constexpr EscapeTable kTable;

} // namespace

const char* XmlEscapeEntry(unsigned char byte)
{
    return kTable.entry[byte];
}

CString XmlEscaped(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char ch : text) {
        const char* entry = XmlEscapeEntry(static_cast<unsigned char>(ch));
        if (entry)
            escaped += entry;
        else
            escaped += ch;
    }
    return CString(std::move(escaped));
}

void XmlEscape(CString& text)
{
    text = XmlEscaped(text);
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

    // Each byte escapes on its own, so chunks never split a replacement;
    // documents of any size pass through this one buffer.
    const LONGLONG length = source.GetLength();
    LONGLONG position = source.GetPosition();
    char chunk[127 * 32];
    while (position >= 0 && position < length) {
        UINT count = source.Read(chunk, sizeof chunk);
        if (count == 0)
            break;
        destination.Write(XmlEscaped(std::string_view(chunk, count)));
        position = source.GetPosition();
    }
    destination.SeekToBegin();
}
