#include "shared/xml/Base64Coder.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <new>

#include "classlib/win32/CFile.h"
#include "shared/xml/Base64Stream.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';
constexpr BYTE kNotInAlphabet = 0xFE;
constexpr BYTE kPadValue = 0xFF;

constexpr std::array<BYTE, 256> MakeDecodeTable()
{
    std::array<BYTE, 256> table{};
    table.fill(kNotInAlphabet);
    for (int i = 0; i < 64; ++i)
        table[static_cast<BYTE>(kAlphabet[i])] = static_cast<BYTE>(i);
    table[static_cast<BYTE>(kPad)] = kPadValue;
    return table;
}

// Built by the compiler, so there is nothing to race on at first use.
constexpr std::array<BYTE, 256> kDecodeTable = MakeDecodeTable();

// Follows a Base64 text character by character (skipped ones left out) and
// refuses it at the first character that cannot stand where it stands:
// anything outside the alphabet, and "=" anywhere but in the padding that
// closes the last group (after two or three characters of it, at most as
// many as complete the group, and nothing but "=" after it); and, at the
// end, a last group of a single character.
class Base64Shape {
public:
    bool Accept(BYTE ch)
    {
        const BYTE value = kDecodeTable[ch];
        if (value == kNotInAlphabet)
            return false;
        if (value == kPadValue) {
            if (m_inGroup < 2 || m_pads >= 4 - m_inGroup)
                return false;
            ++m_pads;
            return true;
        }
        if (m_pads > 0)
            return false;
        m_inGroup = (m_inGroup + 1) % 4;
        return true;
    }

    // A last group of one character holds no whole byte: the text was cut.
    bool IsWhole() const { return m_inGroup != 1; }

private:
    int m_inGroup = 0; // characters of the group being read (0 to 3)
    int m_pads = 0;
};

constexpr BYTE kEmpty[1] = {0};

// Bigger than the largest n a buffer can be rounded up from.
constexpr UINT kReserveLimit = UINT_MAX - 4096;

// File64Coder reads and writes in blocks far bigger than a line: one
// ReadFile per line is what makes big documents slow.
constexpr UINT kDecodeBlock = 256 * 1024;
constexpr UINT kGroupChars = 4;
constexpr UINT kProbeChars = 79;

// Fills as much of buffer as the file still holds.
UINT ReadFull(CFile& file, void* buffer, UINT count)
{
    auto* bytes = static_cast<BYTE*>(buffer);
    UINT total = 0;
    while (total < count) {
        const UINT got = file.Read(bytes + total, count - total);
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

} // namespace

Base64Coder::~Base64Coder() = default;

BOOL Base64Coder::Reserve(std::unique_ptr<BYTE[]>& buffer, UINT& capacity, UINT& length, UINT n)
{
    // Always room for a closing zero, and a buffer even for nothing, so the
    // getters never hand out null or unterminated text.
    if (!buffer || capacity <= n) {
        buffer.reset();
        capacity = 0;
        length = 0;
        if (n > kReserveLimit)
            return FALSE;
        const UINT size = ((n >> 12) + 1) << 12;
        buffer.reset(new (std::nothrow) BYTE[size]);
        if (!buffer)
            return FALSE;
        capacity = size;
    }
    std::fill(buffer.get(), buffer.get() + capacity, BYTE{0});
    length = 0;
    return TRUE;
}

BOOL Base64Coder::ReserveEncoded(UINT n)
{
    return Reserve(m_encoded, m_encodedCapacity, m_encodedLength, n);
}

BOOL Base64Coder::ReservePlain(UINT n)
{
    return Reserve(m_plain, m_plainCapacity, m_plainLength, n);
}

BOOL Base64Coder::LoadPlainInput(const BYTE* bytes, UINT count)
{
    if (!bytes)
        count = 0;
    if (!ReservePlain(count))
        return FALSE;
    std::copy(bytes, bytes + count, m_plain.get());
    m_plainLength = count;
    return TRUE;
}

BOOL Base64Coder::LoadEncodedInput(const char* characters, UINT count)
{
    if (!characters)
        count = 0;
    if (!ReserveEncoded(count))
        return FALSE;
    BYTE* out = m_encoded.get();
    for (UINT i = 0; i < count; ++i) {
        const auto ch = static_cast<BYTE>(characters[i]);
        if (!IsSkippedChar(ch))
            *out++ = ch;
    }
    m_encodedLength = static_cast<UINT>(out - m_encoded.get());
    return TRUE;
}

bool Base64Coder::IsSkippedChar(BYTE ch) const
{
    return (ch >= 7 && ch <= 13) || ch == ' ';
}

void Base64Coder::SplitSextets(const Group& bytes, Group& sextets) const
{
    const BYTE b0 = bytes.value[0];
    const BYTE b1 = bytes.value[1];
    const BYTE b2 = bytes.value[2];
    sextets.value[0] = static_cast<BYTE>(b0 >> 2);
    sextets.value[1] = static_cast<BYTE>(((b0 << 4) & 0x3F) | (b1 >> 4));
    sextets.value[2] = static_cast<BYTE>(((b1 << 2) & 0x3F) | (b2 >> 6));
    sextets.value[3] = static_cast<BYTE>(b2 & 0x3F);
    sextets.count = 4;
}

void Base64Coder::JoinSextets(const Group& sextets, Group& bytes) const
{
    const BYTE s0 = sextets.value[0];
    const BYTE s1 = sextets.value[1];
    const BYTE s2 = sextets.value[2];
    const BYTE s3 = sextets.value[3];
    bytes.value[0] = static_cast<BYTE>((s0 << 2) | ((s1 >> 4) & 0x03));
    bytes.value[1] = static_cast<BYTE>((s1 << 4) | ((s2 >> 2) & 0x0F));
    bytes.value[2] = static_cast<BYTE>((s2 << 6) | (s3 & 0x3F));
    bytes.value[3] = 0;
    bytes.count = 3;
}

int Base64Coder::EncodeGroup(const Group& bytes, char* output) const
{
    const int count = std::clamp(bytes.count, 1, 3);
    Group padded;
    std::copy(bytes.value, bytes.value + count, padded.value);
    padded.count = count;

    Group sextets;
    SplitSextets(padded, sextets);
    for (int i = 0; i < 4; ++i)
        output[i] = i <= count ? kAlphabet[sextets.value[i]] : kPad;
    return 4;
}

int Base64Coder::DecodeGroup(const Group& characters, BYTE* output) const
{
    const int count = std::clamp(characters.count, 0, 4);
    Group sextets;
    int pads = 0;
    for (int i = 0; i < count; ++i) {
        BYTE value = kDecodeTable[characters.value[i]];
        if (value == kPadValue) {
            ++pads;
            value = 0;
        }
        // The decoders refuse text outside the alphabet before it gets
        // here; a group given directly keeps 0xFE, which joining cuts to 62.
        sextets.value[i] = value;
    }
    sextets.count = count;

    Group bytes;
    JoinSextets(sextets, bytes);
    const int produced = std::max(count - 1 - pads, 0);
    std::copy(bytes.value, bytes.value + produced, output);
    return produced;
}

BOOL Base64Coder::EncodeText(const char* text)
{
    if (!text)
        return TRUE;
    return EncodeBytes(reinterpret_cast<const BYTE*>(text), static_cast<UINT>(std::strlen(text)));
}

BOOL Base64Coder::EncodeBytes(const BYTE* bytes, UINT count)
{
    if (!LoadPlainInput(bytes, count))
        return FALSE;
    count = m_plainLength;
    if (count > kReserveLimit / 2 || !ReserveEncoded(2 * count))
        return FALSE;

    const BYTE* in = m_plain.get();
    char* const start = reinterpret_cast<char*>(m_encoded.get());
    char* out = start;
    UINT i = 0;
    for (; count - i >= 3; i += 3) {
        Group group;
        std::copy(in + i, in + i + 3, group.value);
        group.count = 3;
        out += EncodeGroup(group, out);
    }
    if (i < count) {
        Group group;
        group.count = static_cast<int>(count - i);
        std::copy(in + i, in + count, group.value);
        out += EncodeGroup(group, out);
    }
    m_encodedLength = static_cast<UINT>(out - start);
    return TRUE;
}

BOOL Base64Coder::DecodeText(const char* text)
{
    if (!text)
        return TRUE;
    return DecodeBytes(text, static_cast<UINT>(std::strlen(text)));
}

BOOL Base64Coder::DecodeBytes(const char* characters, UINT count)
{
    if (!LoadEncodedInput(characters, count))
        return FALSE;
    Base64Shape shape;
    bool accepted = true;
    for (UINT i = 0; accepted && i < m_encodedLength; ++i)
        accepted = shape.Accept(m_encoded[i]);
    if (!accepted || !shape.IsWhole()) {
        m_plainLength = 0;
        if (m_plain)
            m_plain[0] = 0;
        return FALSE;
    }
    // Four characters never give more than three bytes.
    if (!ReservePlain(m_encodedLength))
        return FALSE;

    const BYTE* in = m_encoded.get();
    const UINT length = m_encodedLength;
    BYTE* out = m_plain.get();
    UINT i = 0;
    for (; length - i >= kGroupChars; i += kGroupChars) {
        Group group;
        std::copy(in + i, in + i + kGroupChars, group.value);
        group.count = kGroupChars;
        out += DecodeGroup(group, out);
    }
    if (i < length) {
        Group group;
        group.count = static_cast<int>(length - i);
        std::copy(in + i, in + length, group.value);
        out += DecodeGroup(group, out);
    }
    m_plainLength = static_cast<UINT>(out - m_plain.get());
    return TRUE;
}

const BYTE* Base64Coder::GetDecoded() const
{
    return m_plain ? m_plain.get() : kEmpty;
}

const char* Base64Coder::GetEncoded() const
{
    return m_encoded ? reinterpret_cast<const char*>(m_encoded.get())
                     : reinterpret_cast<const char*>(kEmpty);
}

File64Coder::~File64Coder() = default;

BOOL File64Coder::EncodeFile(const char* inputPath, const char* outputPath)
{
    // The input first: a missing input must not empty the output.
    CFile input;
    if (!input.Open(inputPath, CFile::modeRead | CFile::shareExclusive))
        return FALSE;
    CFile output;
    if (!output.Open(outputPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
        return FALSE;
    const bool encoded =
        EncodeBase64Lines(input.GetHandle(), false, [&output](const char* text, size_t length) {
            return output.Write(text, static_cast<UINT>(length)) != FALSE;
        });
    return encoded ? TRUE : FALSE;
}

BOOL File64Coder::IsUnbrokenText(const char* path)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite))
        return FALSE;
    char probe[kProbeChars];
    const UINT got = ReadFull(file, probe, kProbeChars);
    return std::memchr(probe, '\n', got) ? FALSE : TRUE;
}

// Line breaks need no handling of their own: the core carries an incomplete
// group across reads, so where the text is broken (and whether CR comes
// with LF) cannot change the bytes. Both entry points share it.
BOOL File64Coder::DecodeFile(const char* inputPath, const char* outputPath)
{
    return DecodeInto(inputPath, outputPath);
}

BOOL File64Coder::DecodeLines(const char* inputPath, const char* outputPath)
{
    return DecodeInto(inputPath, outputPath);
}

BOOL File64Coder::DecodeInto(const char* inputPath, const char* outputPath)
{
    CFile input;
    if (!input.Open(inputPath, CFile::modeRead | CFile::shareDenyWrite))
        return FALSE;
    CFile output;
    if (!output.Open(outputPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
        return FALSE;
    if (DecodeStream(input, &output))
        return TRUE;
    // Half a document is no document: nothing of it stays.
    output.Close();
    CFile::Remove(outputPath);
    return FALSE;
}

BOOL File64Coder::IsBase64File(const char* path)
{
    CFile input;
    if (!input.Open(path, CFile::modeRead | CFile::shareDenyWrite))
        return FALSE;
    return DecodeStream(input, nullptr);
}

BOOL File64Coder::DecodeStream(CFile& input, CFile* output)
{
    std::unique_ptr<char[]> text(new (std::nothrow) char[kDecodeBlock]);
    std::unique_ptr<BYTE[]> bytes(new (std::nothrow)
                                      BYTE[Base64StreamDecoder::RoomFor(kDecodeBlock)]);
    if (!text || !bytes)
        return FALSE;
    // One decoder follows the whole text, so a group or the padding may
    // straddle two blocks.
    Base64StreamDecoder decoder;
    for (;;) {
        const UINT got = input.Read(text.get(), kDecodeBlock);
        if (got == 0)
            break;
        if (!output) {
            if (!decoder.Check(text.get(), got))
                return FALSE;
            continue;
        }
        size_t produced = 0;
        if (!decoder.Decode(text.get(), got, bytes.get(), produced))
            return FALSE;
        if (produced > 0 && !output->Write(bytes.get(), static_cast<UINT>(produced)))
            return FALSE;
    }
    const size_t last = decoder.Finish(bytes.get());
    if (decoder.Failed())
        return FALSE;
    if (output && last > 0 && !output->Write(bytes.get(), static_cast<UINT>(last)))
        return FALSE;
    return TRUE;
}
