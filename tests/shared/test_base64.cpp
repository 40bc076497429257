#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "classlib/win32/Handles.h"
#include "shared/xml/Base64Coder.h"
#include "shared/xml/Base64Stream.h"
#include "tests/support/TestBase64.h"
#include "tests/support/TestEnv.h"

namespace {

std::string Encoded(const std::string& bytes)
{
    Base64Coder coder;
    EXPECT_TRUE(coder.EncodeBytes(reinterpret_cast<const BYTE*>(bytes.data()),
                                  static_cast<UINT>(bytes.size())));
    EXPECT_EQ(std::strlen(coder.GetEncoded()), coder.GetEncodedLength());
    return std::string(coder.GetEncoded(), coder.GetEncodedLength());
}

std::string Decoded(const std::string& text)
{
    Base64Coder coder;
    EXPECT_TRUE(coder.DecodeBytes(text.data(), static_cast<UINT>(text.size())));
    return std::string(reinterpret_cast<const char*>(coder.GetDecoded()), coder.GetDecodedLength());
}

std::string RandomBytes(size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(count, '\0');
    for (auto& ch : bytes)
        ch = static_cast<char>(byte(generator));
    return bytes;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start)); // an unterminated last line
    return lines;
}

struct TextCase {
    const char* text;
    std::string bytes;
};

} // namespace

TEST(Base64Memory, StandardVectorsEncodeAndDecode)
{
    const TextCase cases[] = {
        {"", ""},
        {"YQ==", "a"},
        {"YWI=", "ab"},
        {"YWJj", "abc"},
        {"Zg==", "f"},
        {"Zm8=", "fo"},
        {"Zm9v", "foo"},
        {"Zm9vYg==", "foob"},
        {"Zm9vYmE=", "fooba"},
        {"Zm9vYmFy", "foobar"},
        {"AP8A/w==", std::string("\x00\xFF\x00\xFF", 4)},
        {"+/+/", "\xFB\xFF\xBF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.text, Encoded(c.bytes)) << c.text;
        EXPECT_EQ(c.bytes, Decoded(c.text)) << c.text;
    }
}

TEST(Base64Memory, EncodeTextUsesTheTextUpToItsZero)
{
    Base64Coder coder;
    ASSERT_TRUE(coder.EncodeText("abc"));
    EXPECT_STREQ("YWJj", coder.GetEncoded());
    // A null text leaves the last result as it was.
    ASSERT_TRUE(coder.EncodeText(nullptr));
    EXPECT_STREQ("YWJj", coder.GetEncoded());

    ASSERT_TRUE(coder.DecodeText("YWI="));
    EXPECT_EQ(2u, coder.GetDecodedLength());
    EXPECT_STREQ("ab", reinterpret_cast<const char*>(coder.GetDecoded()));
}

TEST(Base64Memory, DecodingSkipsWhiteSpaceAndLineControls)
{
    const TextCase cases[] = {
        {"YW Jj\r\n", "abc"},
        {"\a\b\t\n\v\f\r Y W\r\nJ j", "abc"},
        {"  YQ = = ", "a"},
        {"Zm9v\r\nYmFy\r\n", "foobar"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.bytes, Decoded(c.text)) << c.text;
}

TEST(Base64Memory, ShortAndPaddedGroupsGiveWhatTheyHold)
{
    const TextCase cases[] = {
        {"YQ==", "a"},     // padding takes a byte off each time
        {"YWI", "ab"},     // an unpadded last group of three
        {"YQ", "a"},       // ... and of two
        {"YQ=", "a"},      // padding cut short
        {"YQ==\r\n", "a"}, // line ends after the padding
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.bytes, Decoded(c.text)) << c.text;
}

// Garbage is refused, never turned into bytes: characters outside the
// alphabet (bit 7 set included), "=" anywhere but in the padding that
// closes the text, and a text that cannot be whole.
static const std::string kNotBase64[] = {
    "QUJD=QUJD",                      // padding in the middle
    "YQ==YWJj",                       // two padded texts run together
    "====",                           // padding with nothing to pad
    "Y===",                           // more padding than the group has room for
    "YQ===",                          // ... one "=" too many
    "YWJj=",                          // padding after a whole group
    "YQ=A",                           // a character after the padding
    "YQ= =\nA",                       // ... with blanks and line ends in between
    "Y",                              // one character over: a text cut short
    "YWJjY",                          // ... also after whole groups
    "YWJjY\r\n",                      // ... and with a line end after it
    "*AAA",                           // punctuation
    std::string("A") + '\x0E' + "AA", // a control character that is not a blank
    "AA~A",                           // more punctuation
    "AAA\x80",                        // bit 7 set
    "\xD9\xD7\xCA\xEA",               // the alphabet with bit 7 set
    "YQ\xBD\xBD",                     // "=" with bit 7 set
    std::string("YWJj\0YWJj", 9),     // a zero byte
};

TEST(Base64Memory, GarbageIsRefused)
{
    for (const std::string& input : kNotBase64) {
        SCOPED_TRACE(testing::PrintToString(input));
        Base64Coder coder;
        ASSERT_TRUE(coder.DecodeText("YWJj"));
        EXPECT_FALSE(coder.DecodeBytes(input.data(), static_cast<UINT>(input.size())));
        EXPECT_EQ(0u, coder.GetDecodedLength()) << "nothing of a refused text is kept";
        EXPECT_EQ(0, coder.GetDecoded()[0]);
    }
}

TEST(Base64Memory, FreshAndEmptyCodersGiveEmptyResults)
{
    Base64Coder fresh;
    ASSERT_NE(nullptr, fresh.GetEncoded());
    EXPECT_STREQ("", fresh.GetEncoded());
    EXPECT_EQ(0u, fresh.GetEncodedLength());
    ASSERT_NE(nullptr, fresh.GetDecoded());
    EXPECT_EQ(0u, fresh.GetDecodedLength());

    Base64Coder encoder;
    ASSERT_TRUE(encoder.EncodeText(""));
    ASSERT_NE(nullptr, encoder.GetEncoded());
    EXPECT_STREQ("", encoder.GetEncoded());
    ASSERT_TRUE(encoder.EncodeBytes(nullptr, 0));
    EXPECT_STREQ("", encoder.GetEncoded());

    Base64Coder decoder;
    ASSERT_TRUE(decoder.DecodeText(""));
    ASSERT_NE(nullptr, decoder.GetDecoded());
    EXPECT_EQ(0u, decoder.GetDecodedLength());
    ASSERT_TRUE(decoder.DecodeText(" \r\n"));
    EXPECT_EQ(0u, decoder.GetDecodedLength());
}

TEST(Base64Memory, ReusedCoderHoldsOnlyTheLatestResult)
{
    Base64Coder coder;
    const std::string big = RandomBytes(9000, 1);
    ASSERT_TRUE(coder.EncodeBytes(reinterpret_cast<const BYTE*>(big.data()),
                                  static_cast<UINT>(big.size())));
    ASSERT_EQ(12000u, coder.GetEncodedLength());
    const std::string bigText = coder.GetEncoded();

    ASSERT_TRUE(coder.EncodeText("a"));
    EXPECT_EQ(4u, coder.GetEncodedLength());
    EXPECT_STREQ("YQ==", coder.GetEncoded());

    ASSERT_TRUE(coder.DecodeText(bigText.c_str()));
    ASSERT_EQ(big.size(), coder.GetDecodedLength());
    ASSERT_TRUE(coder.DecodeText("YWI"));
    ASSERT_EQ(2u, coder.GetDecodedLength());
    EXPECT_STREQ("ab", reinterpret_cast<const char*>(coder.GetDecoded()));
}

TEST(Base64Memory, RandomBytesRoundTrip)
{
    std::vector<size_t> sizes;
    for (size_t n = 0; n <= 100; ++n)
        sizes.push_back(n);
    for (size_t n : {4095u, 4096u, 4097u, 6143u, 6144u, 100000u})
        sizes.push_back(n);

    for (size_t n : sizes) {
        const std::string bytes = RandomBytes(n, static_cast<unsigned>(n));
        const std::string text = Encoded(bytes);
        ASSERT_EQ((n + 2) / 3 * 4, text.size()) << n;
        ASSERT_EQ(std::string::npos,
                  text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                         "0123456789+/="))
            << n;
        ASSERT_EQ(bytes, Decoded(text)) << n;
    }
}

class Base64File : public CleanProfileTest {
protected:
    std::string Path(const char* name) const { return TempDir() + name; }

    // Decodes text written to a file, by both decoding entry points.
    void ExpectFileDecodes(const std::string& text, const std::string& bytes)
    {
        const std::string in = Path("in.txt");
        const std::string out = Path("out.bin");
        testenv::WriteFileBytes(in, text);
        File64Coder coder;
        ASSERT_TRUE(coder.DecodeFile(in.c_str(), out.c_str()));
        EXPECT_TRUE(testenv::ReadFileBytes(out) == bytes) << "DecodeFile";
        ASSERT_TRUE(coder.DecodeLines(in.c_str(), out.c_str()));
        EXPECT_TRUE(testenv::ReadFileBytes(out) == bytes) << "DecodeLines";
    }
};

TEST_F(Base64File, EncodeFileWritesLinesOf64Characters)
{
    const std::string bytes = RandomBytes(100, 7);
    testenv::WriteFileBytes(Path("in.bin"), bytes);
    File64Coder coder;
    ASSERT_TRUE(coder.EncodeFile(Path("in.bin").c_str(), Path("out.txt").c_str()));

    const std::string text = testenv::ReadFileBytes(Path("out.txt"));
    ASSERT_EQ('\n', text.back());
    const auto lines = SplitLines(text);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(64u, lines[0].size());
    EXPECT_EQ(64u, lines[1].size());
    EXPECT_EQ(8u, lines[2].size());
    EXPECT_EQ(Encoded(bytes), lines[0] + lines[1] + lines[2]);
}

TEST_F(Base64File, FilesMatchAnIndependentEncoder)
{
#ifdef QUILLET_BASE64_FIXTURES
    const std::string folder = QUILLET_BASE64_FIXTURES;
#else
    const std::string folder;
    FAIL() << "QUILLET_BASE64_FIXTURES is not defined (tests/shared/base64-fixtures.cmake)";
#endif
    for (const char* size : {"0", "47", "48", "49", "4001"}) {
        SCOPED_TRACE(size);
        const std::string stem = folder + "sample-" + size;
        ASSERT_TRUE(testenv::FileExists(stem + ".b64"));
        const std::string bytes = testenv::ReadFileBytes(stem + ".bin");
        const std::string text = testenv::ReadFileBytes(stem + ".b64");
        ASSERT_EQ(std::stoul(size), bytes.size());

        File64Coder coder;
        ASSERT_TRUE(coder.EncodeFile((stem + ".bin").c_str(), Path("encoded.txt").c_str()));
        EXPECT_TRUE(testenv::ReadFileBytes(Path("encoded.txt")) == text);
        ASSERT_TRUE(coder.DecodeFile((stem + ".b64").c_str(), Path("decoded.bin").c_str()));
        EXPECT_TRUE(testenv::ReadFileBytes(Path("decoded.bin")) == bytes);
    }
}

TEST_F(Base64File, EncodeFileReplacesALongerOutput)
{
    testenv::WriteFileBytes(Path("in.bin"), "abc");
    testenv::WriteFileBytes(Path("out.txt"), std::string(10000, 'x'));
    File64Coder coder;
    ASSERT_TRUE(coder.EncodeFile(Path("in.bin").c_str(), Path("out.txt").c_str()));
    EXPECT_EQ("YWJj\n", testenv::ReadFileBytes(Path("out.txt")));

    // Decoding replaces a longer output as well.
    testenv::WriteFileBytes(Path("long.bin"), std::string(5000, 'y'));
    ASSERT_TRUE(coder.DecodeFile(Path("out.txt").c_str(), Path("long.bin").c_str()));
    EXPECT_EQ("abc", testenv::ReadFileBytes(Path("long.bin")));
}

TEST_F(Base64File, MissingFilesFail)
{
    const std::string missing = Path("missing.bin");
    const std::string noFolder = Path("no such folder\\out.txt");
    testenv::WriteFileBytes(Path("in.bin"), "abc");
    File64Coder coder;

    EXPECT_FALSE(coder.EncodeFile(missing.c_str(), Path("out.txt").c_str()));
    EXPECT_FALSE(testenv::FileExists(Path("out.txt")));
    EXPECT_FALSE(coder.EncodeFile(Path("in.bin").c_str(), noFolder.c_str()));

    EXPECT_FALSE(coder.DecodeFile(missing.c_str(), Path("out.bin").c_str()));
    EXPECT_FALSE(coder.DecodeLines(missing.c_str(), Path("out.bin").c_str()));
    EXPECT_FALSE(coder.DecodeFile(Path("in.bin").c_str(), noFolder.c_str()));
    EXPECT_FALSE(coder.IsUnbrokenText(missing.c_str()));
}

TEST_F(Base64File, UnbrokenTextHasNoLineFeedInItsFirst79Characters)
{
    struct Case {
        std::string text;
        BOOL unbroken;
    };
    const Case cases[] = {
        {"", TRUE},
        {std::string(1000, 'A'), TRUE},
        {std::string(1000, 'A') + "\n", TRUE},
        {std::string(79, 'A') + "\nAAAA", TRUE},  // the 80th character
        {std::string(78, 'A') + "\nAAAA", FALSE}, // the 79th
        {std::string(76, 'A') + "\n" + std::string(76, 'A') + "\n", FALSE},
        {std::string(64, 'A') + "\r\n", FALSE},
        {"\n", FALSE},
    };
    File64Coder coder;
    for (const auto& c : cases) {
        testenv::WriteFileBytes(Path("probe.txt"), c.text);
        EXPECT_EQ(c.unbroken, coder.IsUnbrokenText(Path("probe.txt").c_str())) << c.text;
    }
}

TEST_F(Base64File, LineLayoutDoesNotChangeTheBytes)
{
    // More than one read block of text, and a padded last group.
    const std::string bytes = RandomBytes(70001, 3);
    const std::string text = Encoded(bytes);

    struct Layout {
        size_t lineLength; // 0: one unbroken line
        const char* ending;
        size_t spaceEvery; // a space after every so many characters; 0: none
        bool stripPadding;
    };
    const Layout layouts[] = {
        {0, "", 0, false},       {1000, "\n", 0, false}, // unbroken by the probe, broken after
        {76, "\n", 0, false},    {64, "\r\n", 0, false}, {99, "\n", 0, false},
        {99, "\r\n", 0, false},  {101, "\n", 0, true},   {150, "\r\n", 0, false},
        {0, "", 7, false}, // pieces hold skipped characters
        {77, "\r\n", 13, false}, {1, "\n", 0, false},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(testing::Message() << layout.lineLength << " / " << layout.spaceEvery);
        std::string body = text;
        if (layout.stripPadding)
            body.erase(body.find_last_not_of('=') + 1);
        if (layout.spaceEvery) {
            std::string spaced;
            for (size_t i = 0; i < body.size(); ++i) {
                spaced += body[i];
                if ((i + 1) % layout.spaceEvery == 0)
                    spaced += ' ';
            }
            body = spaced;
        }
        std::string file;
        if (layout.lineLength == 0) {
            file = body;
        } else {
            for (size_t i = 0; i < body.size(); i += layout.lineLength)
                file += body.substr(i, layout.lineLength) + layout.ending;
        }
        ExpectFileDecodes(file, bytes);
    }
}

TEST_F(Base64File, GarbageFilesAreRefusedAndLeaveNoOutput)
{
    const std::string good = Encoded(RandomBytes(70001, 5)); // more than one read block
    std::vector<std::pair<std::string, std::string>> cases;
    for (const std::string& text : kNotBase64)
        cases.emplace_back(testing::PrintToString(text), text);
    // Padding that ends one read block of the decoder may not go on in the next.
    std::string early = good.substr(0, 65536 - 4) + "QQ==" + good;
    cases.emplace_back("padding at the end of a block", early);
    cases.emplace_back("a long text cut to leave one character over", good.substr(0, 69997));
    cases.emplace_back("garbage far into a line-broken file",
                       good.substr(0, 40000) + "\r\n" + good.substr(40000, 30000) + "!" + "\r\n");
    File64Coder coder;
    for (const auto& [what, text] : cases) {
        SCOPED_TRACE(what);
        testenv::WriteFileBytes(Path("in.txt"), text);
        EXPECT_FALSE(coder.IsBase64File(Path("in.txt").c_str()));
        testenv::WriteFileBytes(Path("out.bin"), "earlier");
        EXPECT_FALSE(coder.DecodeFile(Path("in.txt").c_str(), Path("out.bin").c_str()));
        EXPECT_FALSE(testenv::FileExists(Path("out.bin"))) << "no half document stays";
        EXPECT_FALSE(coder.DecodeLines(Path("in.txt").c_str(), Path("out.bin").c_str()));
        EXPECT_FALSE(testenv::FileExists(Path("out.bin")));
    }

    // Text broken into lines, LF or CR LF, is Base64 all the same.
    for (const char* ending : {"\n", "\r\n"}) {
        std::string lines;
        for (size_t i = 0; i < good.size(); i += 64)
            lines += good.substr(i, 64) + ending;
        testenv::WriteFileBytes(Path("in.txt"), lines);
        EXPECT_TRUE(coder.IsBase64File(Path("in.txt").c_str()));
    }
    testenv::WriteFileBytes(Path("empty.txt"), "");
    EXPECT_TRUE(coder.IsBase64File(Path("empty.txt").c_str()));
    EXPECT_FALSE(coder.IsBase64File(Path("missing.txt").c_str()));
}

TEST_F(Base64File, RandomFilesRoundTrip)
{
    for (size_t size : {1u, 2u, 3u, 95u, 96u, 97u, 49151u, 49152u, 49153u, 300000u}) {
        SCOPED_TRACE(size);
        const std::string bytes = RandomBytes(size, static_cast<unsigned>(size) + 11);
        testenv::WriteFileBytes(Path("in.bin"), bytes);
        File64Coder coder;
        ASSERT_TRUE(coder.EncodeFile(Path("in.bin").c_str(), Path("text.txt").c_str()));

        const std::string text = testenv::ReadFileBytes(Path("text.txt"));
        ASSERT_EQ('\n', text.back());
        const auto lines = SplitLines(text);
        ASSERT_EQ((size + 47) / 48, lines.size());
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            ASSERT_EQ(64u, lines[i].size()) << "line " << i;
        ASSERT_EQ((size % 48 + 2) / 3 * 4 + (size % 48 ? 0 : 64), lines.back().size());

        ASSERT_TRUE(coder.DecodeFile(Path("text.txt").c_str(), Path("out.bin").c_str()));
        ASSERT_TRUE(testenv::ReadFileBytes(Path("out.bin")) == bytes);
    }
}

// ---- Documents of any size, in one pass ----

// The lines a request carries (and, unescaped, those EncodeFile writes),
// compared with the tests' own encoder across the encoder's read blocks,
// handed on in large pieces of whole lines.
TEST_F(Base64File, StreamedLinesMatchAnIndependentEncoder)
{
    constexpr size_t kBlock = Base64LineEncoder::kLineBytes * 16384;
    for (size_t size : {size_t{0}, size_t{1}, size_t{2}, size_t{47}, size_t{48}, size_t{49},
                        kBlock - 1, kBlock, kBlock + 1, 2 * kBlock + 50}) {
        const std::string bytes = RandomBytes(size, static_cast<unsigned>(size) + 3);
        testenv::WriteFileBytes(Path("in.bin"), bytes);
        for (bool escaped : {false, true}) {
            SCOPED_TRACE(testing::Message() << size << (escaped ? " escaped" : " plain"));
            CFileHandle input(CreateFileA(Path("in.bin").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(input.IsValid());
            std::string text;
            std::vector<size_t> pieces;
            ASSERT_TRUE(EncodeBase64Lines(input.Get(), escaped, [&](const char* at, size_t n) {
                text.append(at, n);
                pieces.push_back(n);
                return true;
            }));
            std::string expected = standin::Base64RequestText(bytes);
            if (!escaped) {
                expected.clear();
                const std::string plain = standin::Base64Encode(bytes);
                for (size_t i = 0; i < plain.size(); i += 64)
                    expected += plain.substr(i, 64) + "\n";
            }
            ASSERT_EQ(expected.size(), text.size());
            EXPECT_TRUE(expected == text) << "the text differs";
            for (size_t i = 0; i + 1 < pieces.size(); ++i)
                EXPECT_LE(size_t{1024 * 1024}, pieces[i]) << "piece " << i << " is small";
            size_t handed = 0;
            for (size_t piece : pieces) {
                handed += piece;
                EXPECT_EQ('\n', text[handed - 1]) << "a piece ends inside a line";
            }
        }
    }
    // A writer that gives up stops the encoding.
    testenv::WriteFileBytes(Path("in.bin"), RandomBytes(3 * kBlock, 1));
    CFileHandle input(CreateFileA(Path("in.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    int calls = 0;
    EXPECT_FALSE(EncodeBase64Lines(input.Get(), true, [&calls](const char*, size_t) {
        ++calls;
        return false;
    }));
    EXPECT_EQ(1, calls);
}

// However a text is cut into pieces, the streamed decoder gives what the
// memory decoder gives for it whole, and refuses what it refuses.
TEST(Base64Stream, AnyCutDecodesAsTheWholeText)
{
    static const char kRunOf[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/ \t\n";
    std::vector<std::string> texts = {
        "",         "YQ==",      "YWI",      "YQ",         "YQ=",
        "YQ==\r\n", "YW Jj\r\n", "Y Q = = ", "QUJD\nREVG", Encoded("abcdefgh")};
    for (const std::string& garbage : kNotBase64)
        texts.push_back(garbage);
    for (const std::string& text : texts) {
        Base64Coder whole;
        const bool accepted = whole.DecodeBytes(text.data(), static_cast<UINT>(text.size())) != 0;
        const std::string expected(reinterpret_cast<const char*>(whole.GetDecoded()),
                                   whole.GetDecodedLength());
        for (size_t first = 0; first <= text.size(); ++first) {
            for (size_t second = first; second <= text.size(); ++second) {
                SCOPED_TRACE(testing::Message() << testing::PrintToString(text) << " cut at "
                                                << first << " and " << second);
                Base64StreamDecoder decoder;
                Base64StreamDecoder checker;
                // Told of the runs of the alphabet and blanks a reader
                // followed itself (the scanner of a stream), the rest
                // checked one by one.
                Base64StreamDecoder counter;
                std::string bytes;
                bool ok = true;
                const size_t cuts[] = {0, first, second, text.size()};
                for (int i = 0; i < 3; ++i) {
                    const size_t count = cuts[i + 1] - cuts[i];
                    std::vector<BYTE> out(Base64StreamDecoder::RoomFor(count));
                    size_t produced = 0;
                    ok = decoder.Decode(text.data() + cuts[i], count, out.data(), produced) && ok;
                    bytes.append(reinterpret_cast<const char*>(out.data()), produced);
                    checker.Check(text.data() + cuts[i], count);
                    for (size_t at = cuts[i]; at < cuts[i + 1];) {
                        size_t letters = 0;
                        for (; at < cuts[i + 1] && std::strchr(kRunOf, text[at]) && text[at]; ++at)
                            letters += text[at] != ' ' && text[at] != '\t' && text[at] != '\n';
                        counter.CheckLetters(letters);
                        if (at < cuts[i + 1])
                            counter.Check(text.data() + at++, 1);
                    }
                }
                BYTE last[3];
                bytes.append(reinterpret_cast<const char*>(last), decoder.Finish(last));
                ok = ok && !decoder.Failed();
                checker.Finish(last);
                counter.Finish(last);
                EXPECT_EQ(accepted, ok);
                EXPECT_EQ(accepted, !checker.Failed());
                EXPECT_EQ(accepted, !counter.Failed());
                if (accepted) {
                    EXPECT_EQ(expected, bytes);
                }
            }
        }
    }
}
