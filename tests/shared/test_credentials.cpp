#include <gtest/gtest.h>

#include "shared/config/Blowfish.h"
#include "shared/config/Config.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

class CredentialsTest : public CleanProfileTest {
protected:
    static CCredentials Make(const char* email, const char* password, const char* account)
    {
        CCredentials credentials;
        credentials.m_email = email;
        credentials.m_password = password;
        credentials.m_accountId = account;
        return credentials;
    }

    static std::string StoredBytes()
    {
        auto value = ReadValue(kProductKey, "Credentials");
        EXPECT_TRUE(value) << "no Credentials value";
        if (!value)
            return {};
        EXPECT_EQ(DWORD(REG_BINARY), value->type);
        return value->data;
    }

    // The path of the helper program built beside this test.
    static std::string Tool() { return ProgramFolder() + "credtool.exe"; }
};

} // namespace

TEST_F(CredentialsTest, StoredFormIsPaddedUtf16UnderTheCipher)
{
    struct Case {
        const char* email;
        const char* password;
        const char* account;
        size_t storedLength;
    };
    const Case cases[] = {
        {"a", "b", "cd", 16},   // 6 characters, 12 bytes, padded to 16
        {"a", "b", "cdef", 16}, // 8 code units fill two blocks exactly
        {"j@x.io", "pw", "ACC-1", 32},
        {"", "", "", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.email);
        CConfig config;
        ASSERT_EQ(S_OK, config.SetCredentials(Make(c.email, c.password, c.account)));
        const std::string stored = StoredBytes();
        EXPECT_EQ(c.storedLength, stored.size());

        // Deciphered with the engine, it is the tab-joined text in UTF-16.
        std::string text = std::string(c.email) + "\t" + c.password + "\t" + c.account;
        std::string plain(stored.size(), '\0');
        CBlowfish cipher;
        const BYTE key[] = {'Q', 'u', '1', 'l', 'l', '3', 't', '!'};
        cipher.Initialize(key, sizeof key);
        cipher.Decode(reinterpret_cast<const BYTE*>(stored.data()),
                      reinterpret_cast<BYTE*>(plain.data()), static_cast<DWORD>(stored.size()));
        std::string expected;
        for (char ch : text)
            expected += std::string{ch, '\0'};
        expected.resize(stored.size(), '\0');
        EXPECT_EQ(expected, plain);

        CCredentials read = Make("junk", "junk", "junk");
        read.m_displayName = "Jane";
        ASSERT_EQ(S_OK, config.GetCredentials(read));
        EXPECT_STREQ(c.email, read.m_email);
        EXPECT_STREQ(c.password, read.m_password);
        EXPECT_STREQ(c.account, read.m_accountId);
        EXPECT_STREQ("Jane", read.m_displayName) << "the display name is never stored";
    }
}

TEST_F(CredentialsTest, MalformedStoredValues)
{
    CConfig config;
    CCredentials read = Make("junk", "junk", "junk");
    EXPECT_EQ(E_FAIL, config.GetCredentials(read)) << "nothing stored";
    EXPECT_STREQ("junk", read.m_email);

    ASSERT_EQ(S_OK, config.SetSecret("Credentials", "only\tone"));
    EXPECT_EQ(E_FAIL, config.GetCredentials(read));
    EXPECT_STREQ("only", read.m_email) << "the e-mail before the one tab is taken";
    EXPECT_STREQ("junk", read.m_password);

    read = Make("junk", "junk", "junk");
    ASSERT_EQ(S_OK, config.SetSecret("Credentials", "no tab at all"));
    EXPECT_EQ(E_FAIL, config.GetCredentials(read));
    EXPECT_STREQ("junk", read.m_email);

    WriteBinary(kProductKey, "Credentials", std::string(264, 'x'));
    EXPECT_EQ(E_FAIL, config.GetCredentials(read)) << "longer than anything stored";
    WriteText(kProductKey, "Credentials", "plain text");
    EXPECT_EQ(E_FAIL, config.GetCredentials(read)) << "not a binary value";
}

TEST_F(CredentialsTest, RefusesWhatCannotBeStoredSoundly)
{
    CConfig config;
    ASSERT_EQ(S_OK, config.SetCredentials(Make("kept@x.io", "pw", "A1")));
    const std::string before = StoredBytes();

    const CCredentials refused[] = {
        Make("a\tb@x.io", "pw", "A1"),
        Make("a@x.io", "p\tw", "A1"),
        Make("a@x.io", "pw", "A\t1"),
        Make(std::string(120, 'e').c_str(), "pw", "A1"),  // 126 code units in all: fits
        Make(std::string(122, 'e').c_str(), "pw", "A12"), // 129: one too many
    };
    EXPECT_EQ(E_INVALIDARG, config.SetCredentials(refused[0]));
    EXPECT_EQ(E_INVALIDARG, config.SetCredentials(refused[1]));
    EXPECT_EQ(E_INVALIDARG, config.SetCredentials(refused[2]));
    EXPECT_EQ(before, StoredBytes()) << "a refused record leaves the stored one";

    EXPECT_EQ(S_OK, config.SetCredentials(refused[3]));
    EXPECT_EQ(256u, StoredBytes().size());
    CCredentials read;
    ASSERT_EQ(S_OK, config.GetCredentials(read));
    EXPECT_EQ(std::string(120, 'e'), read.m_email.str());

    const std::string longest = StoredBytes();
    EXPECT_EQ(E_INVALIDARG, config.SetCredentials(refused[4]));
    EXPECT_EQ(longest, StoredBytes());
}

TEST_F(CredentialsTest, WhatOneProgramStoresAnotherReads)
{
    ASSERT_EQ(0, RunProcess("\"" + Tool() + "\" store other@x.io s3cret ACC-9"));
    CConfig config;
    CCredentials read;
    ASSERT_EQ(S_OK, config.GetCredentials(read));
    EXPECT_STREQ("other@x.io", read.m_email);
    EXPECT_STREQ("s3cret", read.m_password);
    EXPECT_STREQ("ACC-9", read.m_accountId);

    ASSERT_EQ(S_OK, config.SetCredentials(Make("mine@x.io", "pa55", "ACC-1")));
    EXPECT_EQ(0, RunProcess("\"" + Tool() + "\" check mine@x.io pa55 ACC-1"));
    EXPECT_EQ(1, RunProcess("\"" + Tool() + "\" check mine@x.io wrong ACC-1"));
}
