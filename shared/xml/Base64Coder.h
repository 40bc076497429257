// Base64Coder: turns memory buffers into Base64 text (standard alphabet,
// "=" padding, no line breaks) and back. File64Coder does the same file to
// file, for documents of any size, in fixed memory.
//
// The coder owns its two buffers and reuses them from call to call; what
// GetEncoded and GetDecoded return stays valid until the next call.
#pragma once

#include <memory>
#include <windows.h>

class CFile;

class Base64Coder {
public:
    // Up to four byte-sized values: plain bytes (1-3) on the way out, Base64
    // characters or their sextets (1-4) on the way in.
    struct Group {
        BYTE value[4] = {};
        int count = 0;
    };

    Base64Coder() = default;
    Base64Coder(const Base64Coder&) = delete;
    Base64Coder& operator=(const Base64Coder&) = delete;
    virtual ~Base64Coder();

    // Each returns FALSE only when memory for the buffers ran out (the result
    // is then empty). A null text does nothing and returns TRUE.
    virtual BOOL EncodeText(const char* text);
    virtual BOOL EncodeBytes(const BYTE* bytes, UINT count);
    // Skipped characters (space and bytes 7 to 13: tab, CR, LF among them)
    // may sit anywhere; a short last group of two or three characters,
    // padded or not, gives what its characters hold. FALSE, with an empty
    // result, for text that is not Base64 (a character outside the alphabet,
    // "=" anywhere but in the padding that closes the text, a single
    // character left over at the end) or when memory ran out.
    virtual BOOL DecodeText(const char* text);
    virtual BOOL DecodeBytes(const char* characters, UINT count);

    // Never null; a zero follows the last byte.
    virtual const BYTE* GetDecoded() const;
    // Never null; zero-terminated.
    virtual const char* GetEncoded() const;

    UINT GetDecodedLength() const { return m_plainLength; }
    UINT GetEncodedLength() const { return m_encodedLength; }

    // Make room for at least n bytes plus a closing zero; the buffer is
    // cleared and its length set to 0. Buffers only ever grow.
    virtual BOOL ReserveEncoded(UINT n);
    virtual BOOL ReservePlain(UINT n);
    // The characters without the skipped ones become the encoded buffer.
    virtual BOOL LoadEncodedInput(const char* characters, UINT count);
    virtual BOOL LoadPlainInput(const BYTE* bytes, UINT count);
    // One to three plain bytes become four characters (padded); returns 4.
    virtual int EncodeGroup(const Group& bytes, char* output) const;
    // One to four characters (none skipped) become up to three bytes; writes
    // and returns as many as the characters hold (one less per "=").
    virtual int DecodeGroup(const Group& characters, BYTE* output) const;
    virtual void SplitSextets(const Group& bytes, Group& sextets) const;
    virtual void JoinSextets(const Group& sextets, Group& bytes) const;
    virtual bool IsSkippedChar(BYTE ch) const;

private:
    static BOOL Reserve(std::unique_ptr<BYTE[]>& buffer, UINT& capacity, UINT& length, UINT n);

    std::unique_ptr<BYTE[]> m_plain;
    UINT m_plainCapacity = 0;
    UINT m_plainLength = 0;
    std::unique_ptr<BYTE[]> m_encoded;
    UINT m_encodedCapacity = 0;
    UINT m_encodedLength = 0;
};

class File64Coder : public Base64Coder {
public:
    File64Coder() = default;
    ~File64Coder() override;

    // Writes the input's encoding to the output (replacing what it held) in
    // lines of 64 characters, each closed by "\n"; the last line may be
    // shorter. An empty input gives an empty output. TRUE when the whole
    // input was encoded; FALSE when a file cannot be opened, a write fails
    // or memory runs out.
    BOOL EncodeFile(const char* inputPath, const char* outputPath);
    // Decodes Base64 text however it is broken into lines (LF or CR LF, any
    // line length) into the output. TRUE, or FALSE when a file cannot be
    // opened, the text is not Base64 (as DecodeText), a write fails or memory
    // runs out; once the output was opened such a failure removes it.
    BOOL DecodeFile(const char* inputPath, const char* outputPath);
    // The same for text that is not broken into lines.
    BOOL DecodeLines(const char* inputPath, const char* outputPath);
    // TRUE when the first 79 characters of the file hold no line feed (an
    // empty file included); FALSE when they do or the file cannot be opened.
    BOOL IsUnbrokenText(const char* path);
    // TRUE when the file holds text DecodeFile accepts (an empty file
    // included); nothing is written. FALSE also when it cannot be opened.
    BOOL IsBase64File(const char* path);

private:
    BOOL DecodeInto(const char* inputPath, const char* outputPath);
    // Without an output the text is only checked.
    BOOL DecodeStream(CFile& input, CFile* output);
};
