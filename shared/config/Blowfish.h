// CBlowfish: the 64-bit block cipher that protects stored credentials,
// 16 rounds, used block by block without chaining. The tables live on the
// heap for the engine's lifetime so a stack copy never holds key material.
#pragma once

#include <cstdint>
#include <memory>
#include <windows.h>

class CBlowfish {
public:
    // Leaves the engine in its unkeyed state (the tables as the digits of pi
    // give them); call Initialize before use. When memory for the tables
    // runs out the engine is not ready: it then changes no data and Encode
    // and Decode return 0.
    CBlowfish();
    CBlowfish(const CBlowfish&) = delete;
    CBlowfish& operator=(const CBlowfish&) = delete;
    ~CBlowfish();

    bool IsReady() const { return m_tables != nullptr; }

    // The key schedule; key bytes are cycled through the P-array, so any
    // length works (beyond 72 bytes the rest is never used). A null or
    // empty key leaves the tables unmixed but still runs the schedule.
    void Initialize(const BYTE* key, int keyLength);

    // One block as its two 32-bit halves.
    void EncipherBlock(DWORD& left, DWORD& right) const;
    void DecipherBlock(DWORD& left, DWORD& right) const;

    // Enciphers length bytes rounded up to whole blocks; the bytes of the
    // last block beyond length are zero before enciphering. input and output
    // may be the same buffer (it must then hold the rounded length).
    // Returns the rounded length. Each block is read and written as two
    // little-endian words, left half first; stored data depends on that.
    DWORD Encode(const BYTE* input, BYTE* output, DWORD length);
    // Deciphers every block the first length bytes touch, in place or into
    // output; returns the bytes written (length rounded up to whole blocks).
    DWORD Decode(const BYTE* input, BYTE* output, DWORD length);

    static constexpr DWORD kBlockSize = 8;

private:
    struct Tables;

    std::uint32_t Round(std::uint32_t half) const;

    std::unique_ptr<Tables> m_tables;
};
