#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/config/Blowfish.h"

namespace {

std::vector<BYTE> FromHex(const std::string& hex)
{
    std::vector<BYTE> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<BYTE>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

void Key(CBlowfish& cipher, const std::string& hex)
{
    const auto key = FromHex(hex);
    cipher.Initialize(key.data(), static_cast<int>(key.size()));
}

// Halves as the published vectors state them: big-endian, left first.
struct Block {
    DWORD left;
    DWORD right;
};

bool operator==(const Block& a, const Block& b)
{
    return a.left == b.left && a.right == b.right;
}

std::ostream& operator<<(std::ostream& out, const Block& block)
{
    char text[24];
    std::snprintf(text, sizeof text, "%08lX %08lX", static_cast<unsigned long>(block.left),
                  static_cast<unsigned long>(block.right));
    return out << text;
}

Block Encipher(const CBlowfish& cipher, Block block)
{
    cipher.EncipherBlock(block.left, block.right);
    return block;
}

Block Decipher(const CBlowfish& cipher, Block block)
{
    cipher.DecipherBlock(block.left, block.right);
    return block;
}

} // namespace

TEST(BlowfishVectors, BlocksMatchThePublishedTable)
{
    struct Case {
        const char* key;
        Block plain;
        Block cipher;
    };
    const Case cases[] = {
        {"0000000000000000", {0x00000000, 0x00000000}, {0x4EF99745, 0x6198DD78}},
        {"FFFFFFFFFFFFFFFF", {0xFFFFFFFF, 0xFFFFFFFF}, {0x51866FD5, 0xB85ECB8A}},
        {"3000000000000000", {0x10000000, 0x00000001}, {0x7D856F9A, 0x613063F2}},
        {"1111111111111111", {0x11111111, 0x11111111}, {0x2466DD87, 0x8B963C9D}},
        {"0123456789ABCDEF", {0x11111111, 0x11111111}, {0x61F9C380, 0x2281B096}},
        {"1111111111111111", {0x01234567, 0x89ABCDEF}, {0x7D0CC630, 0xAFDA1EC7}},
        {"FEDCBA9876543210", {0x01234567, 0x89ABCDEF}, {0x0ACEAB0F, 0xC6A0A28D}},
        {"7CA110454A1A6E57", {0x01A1D6D0, 0x39776742}, {0x59C68245, 0xEB05282B}},
        {"0131D9619DC1376E", {0x5CD54CA8, 0x3DEF57DA}, {0xB1B8CC0B, 0x250F09A0}},
        {"E0FEE0FEF1FEF1FE", {0x01234567, 0x89ABCDEF}, {0xC39E072D, 0x9FAC631D}},
        {"0000000000000000", {0xFFFFFFFF, 0xFFFFFFFF}, {0x014933E0, 0xCDAFF6E4}},
        {"FFFFFFFFFFFFFFFF", {0x00000000, 0x00000000}, {0xF21E9A77, 0xB71C49BC}},
        {"FEDCBA9876543210", {0xFFFFFFFF, 0xFFFFFFFF}, {0x6B5C5A9C, 0x5D9E0A5A}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        CBlowfish cipher;
        Key(cipher, c.key);
        EXPECT_EQ(c.cipher, Encipher(cipher, c.plain));
        EXPECT_EQ(c.plain, Decipher(cipher, c.cipher));
    }
}

TEST(BlowfishVectors, KeysOfAnyLengthAreCycledThroughTheSchedule)
{
    const std::string fullKey = "F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677";
    const Block plain = {0xFEDCBA98, 0x76543210};
    struct Case {
        size_t length;
        Block cipher;
    };
    const Case cases[] = {
        {1, {0xF9AD597C, 0x49DB005E}},  {2, {0xE91D21C1, 0xD961A6D6}},
        {3, {0xE9C2B70A, 0x1BC65CF3}},  {7, {0x8BB77032, 0xF960629D}},
        {8, {0xE87A244E, 0x2CC85E82}},  {9, {0x15750E7A, 0x4F4EC577}},
        {17, {0x03429E83, 0x8CE2D14B}}, {24, {0x05044B62, 0xFA52D080}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        CBlowfish cipher;
        Key(cipher, fullKey.substr(0, 2 * c.length));
        EXPECT_EQ(c.cipher, Encipher(cipher, plain));
        EXPECT_EQ(plain, Decipher(cipher, c.cipher));
    }
}

TEST(BlowfishVectors, InitializeStartsAgainFromTheUnkeyedTables)
{
    CBlowfish reused;
    Key(reused, "0123456789ABCDEF");
    Key(reused, "0000000000000000");
    EXPECT_EQ((Block{0x4EF99745, 0x6198DD78}), Encipher(reused, {0, 0}));
}

TEST(BlowfishBytes, BlocksAreReadAsLittleEndianWords)
{
    CBlowfish cipher;
    Key(cipher, "3000000000000000");
    // Left 10000000, right 00000001, each stored low byte first; the same
    // block twice gives the same cipher block twice (no chaining).
    const std::vector<BYTE> plain = FromHex("0000001001000000"
                                            "0000001001000000");
    const std::vector<BYTE> expected = FromHex("9A6F857DF2633061"
                                               "9A6F857DF2633061");

    std::vector<BYTE> out(plain.size());
    EXPECT_EQ(16u, cipher.Encode(plain.data(), out.data(), 16));
    EXPECT_EQ(expected, out);

    std::vector<BYTE> inPlace = plain;
    EXPECT_EQ(16u, cipher.Encode(inPlace.data(), inPlace.data(), 16));
    EXPECT_EQ(expected, inPlace);

    std::vector<BYTE> back(expected.size());
    EXPECT_EQ(16u, cipher.Decode(expected.data(), back.data(), 16));
    EXPECT_EQ(plain, back);
}

TEST(BlowfishBytes, PartialBlocksAreZeroPaddedAndRoundTrip)
{
    CBlowfish cipher;
    Key(cipher, "0123456789ABCDEFF0E1D2C3B4A59687");
    constexpr BYTE kGuard = 0xCC;

    for (DWORD length : {0u, 1u, 7u, 8u, 9u, 16u, 17u}) {
        SCOPED_TRACE(length);
        const DWORD rounded = (length + 7) / 8 * 8;
        std::vector<BYTE> plain(length);
        for (DWORD i = 0; i < length; ++i)
            plain[i] = static_cast<BYTE>(0x41 + i);

        // In place: what lies past length in the last block is zeroed first.
        std::vector<BYTE> inPlace(rounded + 8, kGuard);
        std::copy(plain.begin(), plain.end(), inPlace.begin());
        EXPECT_EQ(rounded, cipher.Encode(inPlace.data(), inPlace.data(), length));

        // Into another buffer: the same blocks, and the input untouched.
        std::vector<BYTE> input = plain;
        input.resize(rounded + 8, kGuard);
        std::vector<BYTE> output(rounded + 8, kGuard);
        EXPECT_EQ(rounded, cipher.Encode(input.data(), output.data(), length));
        EXPECT_EQ(inPlace, output);
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), input.begin()));
        EXPECT_EQ(std::vector<BYTE>(8, kGuard),
                  std::vector<BYTE>(output.begin() + rounded, output.end()));
        if (length > 0) {
            EXPECT_FALSE(std::equal(plain.begin(), plain.end(), output.begin()));
        }

        // Decode takes every block the length touches.
        std::vector<BYTE> decoded(rounded + 8, kGuard);
        EXPECT_EQ(rounded, cipher.Decode(output.data(), decoded.data(), length));
        EXPECT_EQ(rounded, cipher.Decode(inPlace.data(), inPlace.data(), length));
        EXPECT_EQ(decoded, inPlace);

        std::vector<BYTE> expected = plain;
        expected.resize(rounded, 0);
        expected.resize(rounded + 8, kGuard);
        EXPECT_EQ(expected, decoded);
    }
}
