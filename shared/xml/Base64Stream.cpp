#include "shared/xml/Base64Stream.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>

#include "shared/xml/XmlEscape.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// What a character is to the decoder: its sextet (0 to 63), or one of these.
constexpr BYTE kSkip = 0x40;
constexpr BYTE kPad = 0x41;
constexpr BYTE kBad = 0xFF;

constexpr std::array<BYTE, 256> MakeDecodeTable()
{
    std::array<BYTE, 256> table{};
    table.fill(kBad);
    for (int i = 0; i < 64; ++i)
        table[static_cast<BYTE>(kAlphabet[i])] = static_cast<BYTE>(i);
    for (int ch = 7; ch <= 13; ++ch)
        table[ch] = kSkip;
    table[' '] = kSkip;
    table['='] = kPad;
    return table;
}

constexpr std::array<BYTE, 256> kDecodeTable = MakeDecodeTable();

// A whole number of lines, so that only the document's last line is short.
constexpr UINT kReadBlock = Base64LineEncoder::kLineBytes * 16384;
constexpr size_t kWriteBlock = 1024 * 1024;

// Fills as much of buffer as the file still holds; false on a read error.
bool ReadFull(HANDLE file, BYTE* buffer, UINT count, UINT& got)
{
    got = 0;
    while (got < count) {
        DWORD read = 0;
        if (!ReadFile(file, buffer + got, count - got, &read, nullptr))
            return false;
        if (read == 0)
            break;
        got += read;
    }
    return true;
}

} // namespace

// ---- Base64LineEncoder ----

Base64LineEncoder::Base64LineEncoder(bool escaped)
{
    auto make = [escaped](char ch) {
        const char* entry = escaped ? XmlEscapeEntry(static_cast<unsigned char>(ch)) : nullptr;
        char text[8] = {};
        UINT length = 1;
        if (entry) {
            length = static_cast<UINT>(std::strlen(entry));
            std::memcpy(text, entry, length);
        } else {
            text[0] = ch;
        }
        Symbol symbol{};
        std::memcpy(&symbol.text, text, sizeof text);
        symbol.length = length;
        return symbol;
    };
    for (int i = 0; i < 64; ++i)
        m_symbol[i] = make(kAlphabet[i]);
    m_pad = make('=');
    for (int i = 0; i < 4096; ++i) {
        const Symbol& high = m_symbol[i >> 6];
        const Symbol& low = m_symbol[i & 63];
        Pair& pair = m_pairs[i];
        std::memcpy(pair.text, &high.text, high.length);
        std::memcpy(pair.text + high.length, &low.text, low.length);
        pair.length = high.length + low.length;
    }
}

UINT Base64LineEncoder::EncodeLine(const BYTE* bytes, UINT count, char* out) const
{
    if (count == 0)
        return 0;
    char* p = out;
    // Every character is stored as a whole word; the next one starts where
    // this one's text ends.
    auto put = [&p](const Symbol& symbol) {
        std::memcpy(p, &symbol.text, sizeof symbol.text);
        p += symbol.length;
    };
    UINT i = 0;
    for (; count - i >= 3; i += 3) {
        const std::uint32_t v =
            std::uint32_t(bytes[i]) << 16 | std::uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        const Pair& high = m_pairs[v >> 12];
        const Pair& low = m_pairs[v & 0xFFF];
        // Whole entries, one store each; the next overwrites the rest.
        std::memcpy(p, &high, sizeof high);
        p += high.length;
        std::memcpy(p, &low, sizeof low);
        p += low.length;
    }
    if (i < count) {
        const bool two = count - i == 2;
        const std::uint32_t v =
            std::uint32_t(bytes[i]) << 16 | (two ? std::uint32_t(bytes[i + 1]) << 8 : 0);
        put(m_symbol[v >> 18]);
        put(m_symbol[(v >> 12) & 63]);
        put(two ? m_symbol[(v >> 6) & 63] : m_pad);
        put(m_pad);
    }
    *p++ = '\n';
    return static_cast<UINT>(p - out);
}

bool EncodeBase64Lines(HANDLE input, bool escaped, const Base64Writer& write)
{
    const Base64LineEncoder encoder(escaped);
    constexpr size_t kRoom =
        kWriteBlock + Base64LineEncoder::kMaxLineText + Base64LineEncoder::kLineSlack;
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[kReadBlock]);
    std::unique_ptr<char[]> text(new (std::nothrow) char[kRoom]);
    if (!block || !text)
        return false;
    size_t held = 0;
    for (;;) {
        UINT got = 0;
        if (!ReadFull(input, block.get(), kReadBlock, got))
            return false;
        for (UINT at = 0; at < got; at += Base64LineEncoder::kLineBytes) {
            const UINT line =
                got - at < Base64LineEncoder::kLineBytes ? got - at : Base64LineEncoder::kLineBytes;
            held += encoder.EncodeLine(block.get() + at, line, text.get() + held);
            if (held >= kWriteBlock) {
                if (!write(text.get(), held))
                    return false;
                held = 0;
            }
        }
        if (got < kReadBlock)
            break;
    }
    return held == 0 || write(text.get(), held);
}

// ---- Base64StreamDecoder ----

bool Base64StreamDecoder::TakeSpecial(BYTE value)
{
    // Padding closes a group of two or three characters, and nothing but
    // more of it (as much as completes the group) may follow.
    if (value != kPad || m_inGroup < 2 || m_pads >= 4 - m_inGroup)
        return false;
    ++m_pads;
    return true;
}

bool Base64StreamDecoder::Decode(const char* text, size_t count, BYTE* out, size_t& produced)
{
    BYTE* const start = out;
    produced = 0;
    if (m_failed)
        return false;
    const auto* in = reinterpret_cast<const BYTE*>(text);
    const BYTE* const end = in + count;
    std::uint32_t bits = m_bits;
    int inGroup = m_inGroup;
    while (in < end && m_pads == 0) {
        // Whole groups of four characters of the alphabet, the common case.
        if (inGroup == 0) {
            while (end - in >= 4) {
                const BYTE a = kDecodeTable[in[0]];
                const BYTE b = kDecodeTable[in[1]];
                const BYTE c = kDecodeTable[in[2]];
                const BYTE d = kDecodeTable[in[3]];
                if ((a | b | c | d) & 0xC0)
                    break;
                const std::uint32_t group =
                    std::uint32_t(a) << 18 | std::uint32_t(b) << 12 | std::uint32_t(c) << 6 | d;
                out[0] = static_cast<BYTE>(group >> 16);
                out[1] = static_cast<BYTE>(group >> 8);
                out[2] = static_cast<BYTE>(group);
                out += 3;
                in += 4;
            }
            if (in == end)
                break;
        }
        const BYTE value = kDecodeTable[*in++];
        if (value < 64) {
            bits = bits << 6 | value;
            if (++inGroup == 4) {
                out[0] = static_cast<BYTE>(bits >> 16);
                out[1] = static_cast<BYTE>(bits >> 8);
                out[2] = static_cast<BYTE>(bits);
                out += 3;
                inGroup = 0;
                bits = 0;
            }
        } else if (value != kSkip) {
            m_bits = bits;
            m_inGroup = inGroup;
            if (!TakeSpecial(value)) {
                m_failed = true;
                produced = static_cast<size_t>(out - start);
                return false;
            }
        }
    }
    m_bits = bits;
    m_inGroup = inGroup;
    // After the padding only blanks and more padding.
    for (; in < end; ++in) {
        const BYTE value = kDecodeTable[*in];
        if (value != kSkip && !TakeSpecial(value)) {
            m_failed = true;
            break;
        }
    }
    produced = static_cast<size_t>(out - start);
    return !m_failed;
}

bool Base64StreamDecoder::Check(const char* text, size_t count)
{
    if (m_failed)
        return false;
    const auto* in = reinterpret_cast<const BYTE*>(text);
    const BYTE* const end = in + count;
    while (in < end) {
        if (m_pads == 0) {
            // Characters of the alphabet and skipped ones, the common case:
            // only how many of the alphabet there were matters (it says how
            // full the last group is), so they are counted, not followed.
            size_t letters = 0;
            const BYTE* run = in;
            for (; run < end; ++run) {
                const BYTE value = kDecodeTable[*run];
                if (value > kSkip)
                    break;
                letters += value < kSkip;
            }
            CheckLetters(letters);
            in = run;
            if (in == end)
                break;
        }
        const BYTE value = kDecodeTable[*in++];
        if (value != kSkip && !TakeSpecial(value)) {
            m_failed = true;
            return false;
        }
    }
    return true;
}

bool Base64StreamDecoder::CheckLetters(size_t letters)
{
    if (m_failed || letters == 0)
        return !m_failed;
    if (m_pads > 0) {
        // Nothing of the alphabet follows the padding.
        m_failed = true;
        return false;
    }
    m_inGroup = static_cast<int>((static_cast<size_t>(m_inGroup) + letters) % 4);
    return true;
}

size_t Base64StreamDecoder::Finish(BYTE* out)
{
    const int inGroup = m_inGroup;
    const std::uint32_t bits = m_bits << (6 * (4 - inGroup));
    m_bits = 0;
    m_inGroup = 0;
    m_pads = 0;
    if (m_failed || inGroup == 0)
        return 0;
    if (inGroup == 1) {
        // One character of a group holds no whole byte: the text was cut
        // (a document short of its end), and what came before is no whole
        // document either.
        m_failed = true;
        return 0;
    }
    out[0] = static_cast<BYTE>(bits >> 16);
    if (inGroup == 3)
        out[1] = static_cast<BYTE>(bits >> 8);
    return static_cast<size_t>(inGroup - 1);
}
