#include "shared/config/Blowfish.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

namespace {

#include "shared/config/BlowfishTables.inc"

constexpr int kRounds = 16;
constexpr int kPWords = kRounds + 2;

static_assert(std::size(kInitialP) == kPWords);

std::uint32_t LoadLittle(const BYTE* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void StoreLittle(std::uint32_t value, BYTE* bytes)
{
    bytes[0] = static_cast<BYTE>(value);
    bytes[1] = static_cast<BYTE>(value >> 8);
    bytes[2] = static_cast<BYTE>(value >> 16);
    bytes[3] = static_cast<BYTE>(value >> 24);
}

} // namespace

struct CBlowfish::Tables {
    std::uint32_t p[kPWords];
    std::uint32_t s[4][256];
};

CBlowfish::CBlowfish() : m_tables(new (std::nothrow) Tables)
{
    if (!m_tables)
        return;
    std::memcpy(m_tables->p, kInitialP, sizeof m_tables->p);
    std::memcpy(m_tables->s, kInitialS, sizeof m_tables->s);
}

CBlowfish::~CBlowfish()
{
    // The tables are derived from the key; leave nothing of them in freed memory.
    if (m_tables)
        SecureZeroMemory(m_tables.get(), sizeof(Tables));
}

std::uint32_t CBlowfish::Round(std::uint32_t half) const
{
    const auto& s = m_tables->s;
    return ((s[0][half >> 24] + s[1][(half >> 16) & 0xFF]) ^ s[2][(half >> 8) & 0xFF]) +
           s[3][half & 0xFF];
}

void CBlowfish::EncipherBlock(DWORD& left, DWORD& right) const
{
    if (!m_tables)
        return;
    const auto& p = m_tables->p;
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = 0; i < kRounds; ++i) {
        l ^= p[i];
        r ^= Round(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= p[kRounds];
    l ^= p[kRounds + 1];
    left = l;
    right = r;
}

void CBlowfish::DecipherBlock(DWORD& left, DWORD& right) const
{
    if (!m_tables)
        return;
    const auto& p = m_tables->p;
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = kRounds + 1; i > 1; --i) {
        l ^= p[i];
        r ^= Round(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= p[1];
    l ^= p[0];
    left = l;
    right = r;
}

void CBlowfish::Initialize(const BYTE* key, int keyLength)
{
    if (!m_tables)
        return;
    Tables& t = *m_tables;
    std::memcpy(t.p, kInitialP, sizeof t.p);
    std::memcpy(t.s, kInitialS, sizeof t.s);

    if (key && keyLength > 0) {
        int next = 0;
        for (auto& word : t.p) {
            std::uint32_t data = 0;
            for (int i = 0; i < 4; ++i) {
                data = data << 8 | key[next];
                next = (next + 1) % keyLength;
            }
            word ^= data;
        }
    }

    DWORD left = 0;
    DWORD right = 0;
    for (int i = 0; i < kPWords; i += 2) {
        EncipherBlock(left, right);
        t.p[i] = left;
        t.p[i + 1] = right;
    }
    for (auto& box : t.s) {
        for (int i = 0; i < 256; i += 2) {
            EncipherBlock(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

DWORD CBlowfish::Encode(const BYTE* input, BYTE* output, DWORD length)
{
    if (length == 0 || !m_tables)
        return 0;
    const DWORD blocks = (length + kBlockSize - 1) / kBlockSize;
    const DWORD rounded = blocks * kBlockSize;
    if (input != output)
        std::memmove(output, input, length);
    std::fill(output + length, output + rounded, BYTE{0});

    for (BYTE* block = output; block != output + rounded; block += kBlockSize) {
        DWORD left = LoadLittle(block);
        DWORD right = LoadLittle(block + 4);
        EncipherBlock(left, right);
        StoreLittle(left, block);
        StoreLittle(right, block + 4);
    }
    return rounded;
}

DWORD CBlowfish::Decode(const BYTE* input, BYTE* output, DWORD length)
{
    if (length == 0 || !m_tables)
        return 0;
    const DWORD rounded = ((length - 1) / kBlockSize + 1) * kBlockSize;
    for (DWORD offset = 0; offset < rounded; offset += kBlockSize) {
        DWORD left = LoadLittle(input + offset);
        DWORD right = LoadLittle(input + offset + 4);
        DecipherBlock(left, right);
        StoreLittle(left, output + offset);
        StoreLittle(right, output + offset + 4);
    }
    return rounded;
}
