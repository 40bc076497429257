// Base64 for documents of any size, made and read piece by piece in one pass
// at memory speed: a table per character, no call per group, no buffer
// cleared between pieces. File64Coder and the requests that carry documents
// use them; Base64Coder keeps the small texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <windows.h>

// The lines File64Coder::EncodeFile writes (64 characters, each closed by
// "\n"; the last one shorter), optionally with "+", "/" and "=" written as
// the shared escape table writes them ("&#43;", "&#47;", "&#61;"), which is
// how a request carries a document.
class Base64LineEncoder {
public:
    static constexpr UINT kLineBytes = 48;
    static constexpr UINT kLineChars = 64;
    // The most one line can take: every character a five-character reference,
    // and the line feed.
    static constexpr UINT kMaxLineText = kLineChars * 5 + 1;
    // Room a line needs beyond its text: each character is stored as a
    // word and the next one overwrites what it did not use.
    static constexpr UINT kLineSlack = 16;

    explicit Base64LineEncoder(bool escaped);

    // Encodes count bytes (kLineBytes, or fewer for the document's last line)
    // as one line into out, which has room for kMaxLineText + kLineSlack
    // characters; returns the line's length. Nothing for no bytes.
    UINT EncodeLine(const BYTE* bytes, UINT count, char* out) const;

private:
    struct Symbol {
        std::uint64_t text; // up to eight characters, in memory order
        UINT length;
    };
    // Two characters at once, for twelve bits.
    struct Pair {
        char text[12];
        std::uint32_t length;
    };
    Symbol m_symbol[64];
    Symbol m_pad;
    Pair m_pairs[4096];
};

// Reads input (from its current position) in large blocks and hands its
// Base64 lines (see Base64LineEncoder) to write in large pieces. Every line
// is complete when it is handed on. false when the input cannot be read,
// write returns false or memory runs out.
using Base64Writer = std::function<bool(const char* text, size_t length)>;
bool EncodeBase64Lines(HANDLE input, bool escaped, const Base64Writer& write);

// Decodes Base64 text that arrives in pieces of any size, with what
// Base64Coder::DecodeText accepts and refuses: the skipped characters (space
// and bytes 7 to 13: tab, CR, LF among them) anywhere, a short last group of
// two or three characters padded or not, "=" only in the padding that closes the text, nothing
// outside the alphabet. So where the text is broken into lines, and with
// which line ends, cannot change the bytes.
class Base64StreamDecoder {
public:
    // Room out needs for count characters.
    static constexpr size_t RoomFor(size_t count) { return count / 4 * 3 + 3; }

    // Decodes count characters into out and returns how many bytes it wrote;
    // a group the piece leaves incomplete waits for the next piece. false,
    // from then on, at the first character that cannot stand where it
    // stands (produced then says what the piece gave before it).
    bool Decode(const char* text, size_t count, BYTE* out, size_t& produced);
    // Follows the text without decoding it.
    bool Check(const char* text, size_t count);
    // The same for a text whose reader has classified it already: letters
    // characters of the alphabet came (among skipped ones, and no "=").
    bool CheckLetters(size_t letters);
    // After the last piece: writes the bytes of a short last group (at most
    // two) and returns their number. A text that leaves one character over
    // cannot be whole: nothing is written and the decoder has failed.
    size_t Finish(BYTE* out);

    bool Failed() const { return m_failed; }

private:
    // A character seen after the padding began, or a padding character.
    bool TakeSpecial(BYTE value);

    std::uint32_t m_bits = 0; // the sextets of the group being read
    int m_inGroup = 0;        // its characters of the alphabet (0 to 3)
    int m_pads = 0;
    bool m_failed = false;
};
