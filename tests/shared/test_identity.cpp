// Identity and Exchange address resolution through mapi32 and the stand-in
// provider. Every session test also checks what reached the provider: no
// call once MAPI was uninitialised, and no object or buffer left over.
#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "classlib/win32/CRegKey.h"
#include "shared/identity/Identity.h"
#include "shared/requests/RecipID.h"
#include "tests/support/MapiStandIn.h"
#include "tests/support/TestEnv.h"

namespace {

constexpr const char* kExchangeAddress = "/o=Org/ou=Site/cn=Recipients/cn=jdoe";

std::string SmtpUser()
{
    return "identity=jane\n"
           "[user jane]\n"
           "name=Jane Doe\n"
           "type=SMTP\n"
           "address=Jane.Doe@example.com\n";
}

std::string ExchangeUser(const std::vector<std::string>& proxies, unsigned gals = 1,
                         const std::string& extra = "")
{
    std::string text = "identity=jdoe\ngals=" + std::to_string(gals) + "\n" + extra +
                       "[user jdoe]\nname=John Doe\ntype=EX\naddress=" + kExchangeAddress + "\n";
    for (const std::string& proxy : proxies)
        text += "proxy=" + proxy + "\n";
    return text;
}

class IdentityTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        m_mapi = std::make_unique<CMapiStandIn>(TempDir());
        ASSERT_TRUE(m_mapi->Register()) << "mapistandin.dll is not beside the test program";
    }

    void TearDown() override
    {
        m_mapi.reset();
        CleanProfileTest::TearDown();
    }

    void Register() { ASSERT_TRUE(m_mapi->Register()); }
    void Unregister() { m_mapi->Unregister(); }
    void Directory(const std::string& text) { m_mapi->Directory(text); }
    std::vector<std::string> Calls() const { return m_mapi->Calls(); }
    void ClearCalls() { m_mapi->ClearCalls(); }

    size_t CountCalls(const std::string& prefix) const
    {
        std::vector<std::string> calls = Calls();
        return std::count_if(calls.begin(), calls.end(),
                             [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    }

    // Every logon ended with Logoff and MAPIUninitialize, after everything
    // from the session was released and freed, and nothing came after.
    void ExpectCleanSessions() const
    {
        size_t logons = 0;
        size_t ends = 0;
        for (const std::string& line : Calls()) {
            EXPECT_EQ(std::string::npos, line.find("VIOLATION")) << line;
            if (line.rfind("MAPIUninitialize objects=", 0) == 0) {
                EXPECT_EQ("MAPIUninitialize objects=0 buffers=0", line);
                ++ends;
            }
            if (line == "MAPILogonEx")
                ++logons;
        }
        EXPECT_EQ(logons, ends) << "every logon must end with MAPIUninitialize";
        EXPECT_EQ(logons, CountCalls("Session::Logoff"));
    }

    std::unique_ptr<CMapiStandIn> m_mapi;
};

TEST_F(IdentityTest, SmtpUserComesFromTheProfileWithoutTheDirectory)
{
    Directory(SmtpUser());
    CIdentity identity;
    CString name, address;
    ASSERT_EQ(S_OK, identity.IdentifyUser("SMTP", name, address));
    EXPECT_EQ("Jane Doe", name);
    EXPECT_EQ("Jane.Doe@example.com", address);
    EXPECT_EQ(0u, CountCalls("RootContainer::"));
    EXPECT_EQ(0u, CountCalls("HrQueryAllRows"));
    EXPECT_EQ(0u, CountCalls("AddrBook::ResolveName"));
    EXPECT_FALSE(identity.IsOpen());
    ExpectCleanSessions();
}

TEST_F(IdentityTest, ExchangeUserGetsThePrimarySmtpProxy)
{
    struct Case {
        std::vector<std::string> proxies;
        HRESULT result;
        const char* address;
    } cases[] = {
        {{"smtp:jd@old.example.com", "SMTP:John.Doe@example.com"}, S_OK, "John.Doe@example.com"},
        {{"SMTP:John.Doe@example.com", "smtp:jd@old.example.com"}, S_OK, "John.Doe@example.com"},
        {{"X400:c=US;a= ;p=Org;s=Doe", "sMtP:jd@old.example.com"}, S_OK, "jd@old.example.com"},
        {{"SMTP", "smtp:jd@old.example.com"}, S_OK, "jd@old.example.com"},
        {{"X400:c=US;a= ;p=Org;s=Doe"}, MAPI_E_NOT_FOUND, kExchangeAddress},
        {{}, MAPI_E_NOT_FOUND, kExchangeAddress},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.proxies.empty() ? "no proxies" : c.proxies.front());
        ClearCalls();
        Directory(ExchangeUser(c.proxies));
        CIdentity identity;
        CString name, address;
        EXPECT_EQ(c.result, identity.IdentifyUser("SMTP", name, address));
        EXPECT_EQ("John Doe", name);
        EXPECT_EQ(c.address, address);
        // The nested look-up ran in the caller's session.
        EXPECT_EQ(1u, CountCalls("MAPILogonEx"));
        ExpectCleanSessions();
    }
}

TEST_F(IdentityTest, OtherWantedTypesKeepTheExchangeAddress)
{
    Directory(ExchangeUser({"SMTP:John.Doe@example.com"}));
    CIdentity identity;
    CString name, address;
    ASSERT_EQ(S_OK, identity.IdentifyUser("EX", name, address));
    EXPECT_EQ(kExchangeAddress, address);
    EXPECT_EQ(0u, CountCalls("HrQueryAllRows"));
    ExpectCleanSessions();
}

TEST_F(IdentityTest, ExactlyOneExchangeRootListIsTheGlobalList)
{
    // Beside the global lists the root holds another provider's root list
    // and Exchange lists that are not root ones: a restriction that is not
    // applied, or applied by halves, finds more than one row.
    struct Case {
        unsigned gals;
        HRESULT result;
    } cases[] = {{0, E_FAIL}, {1, S_OK}, {2, E_FAIL}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gals);
        ClearCalls();
        Directory(ExchangeUser({"SMTP:John.Doe@example.com"}, c.gals));
        CIdentity identity;
        CString name, address;
        EXPECT_EQ(c.result, identity.IdentifyUser("SMTP", name, address));
        EXPECT_EQ("John Doe", name);
        EXPECT_EQ(c.result == S_OK ? "John.Doe@example.com" : kExchangeAddress, address);
        EXPECT_EQ(c.result == S_OK ? 1u : 0u, CountCalls("GalContainer::OpenEntry"));
        ExpectCleanSessions();
    }
}

TEST_F(IdentityTest, FindTheGalGivesTheGlobalListsEntryId)
{
    Directory(ExchangeUser({}, 1));
    CProxy proxy;
    ASSERT_EQ(S_OK, proxy.Open());
    {
        ULONG size = 0;
        LPENTRYID raw = nullptr;
        ASSERT_EQ(S_OK, FindTheGAL(proxy.GetAddressBook(), &size, &raw));
        mapi::Buffer<ENTRYID> id(raw);
        // The stand-in's IDs: four flag bytes, the kind and the key.
        EXPECT_EQ(std::string("\0\0\0\0G0", 6),
                  std::string(reinterpret_cast<const char*>(id.get()), size));
    }
    proxy.Close();
    ExpectCleanSessions();
}

TEST_F(IdentityTest, FailuresAnywhereLeaveNothingBehind)
{
    struct Case {
        const char* failing;
        HRESULT result;
    } cases[] = {
        {"Session::OpenAddressBook", MAPI_E_CALL_FAILED},
        {"Session::QueryIdentity", MAPI_E_NOT_FOUND},
        {"Session::OpenEntry", MAPI_E_CALL_FAILED},
        {"MailUser::GetProps", MAPI_E_NOT_FOUND},
        {"AddrBook::OpenEntry", MAPI_E_CALL_FAILED},
        {"RootContainer::GetHierarchyTable", MAPI_E_CALL_FAILED},
        {"HrQueryAllRows", MAPI_E_CALL_FAILED},
        {"AddrBook::ResolveName", MAPI_E_CALL_FAILED},
        {"GalContainer::OpenEntry", MAPI_E_CALL_FAILED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        ClearCalls();
        Directory(ExchangeUser({"SMTP:John.Doe@example.com"}, 1,
                               std::string("fail=") + c.failing + "\n"));
        CIdentity identity;
        CString name, address;
        EXPECT_EQ(c.result, identity.IdentifyUser("SMTP", name, address));
        EXPECT_FALSE(identity.IsOpen());
        ExpectCleanSessions();
    }
}

TEST_F(IdentityTest, FailedLogonStillUninitialises)
{
    Directory("fail=MAPILogonEx\n" + SmtpUser());
    CIdentity identity;
    CString name = "kept", address = "kept";
    EXPECT_EQ(MAPI_E_LOGON_FAILED, identity.IdentifyUser("SMTP", name, address));
    EXPECT_EQ("kept", name);
    EXPECT_EQ(1u, CountCalls("MAPIInitialize"));
    EXPECT_EQ(1u, CountCalls("MAPIUninitialize objects=0 buffers=0"));
    EXPECT_EQ(0u, CountCalls("VIOLATION"));
}

TEST_F(IdentityTest, IdentityThatIsNoMailUserFails)
{
    Directory(SmtpUser() + "objtype=8\n");
    CIdentity identity;
    CString name, address;
    EXPECT_EQ(E_FAIL, identity.IdentifyUser("SMTP", name, address));
    ExpectCleanSessions();
}

TEST_F(IdentityTest, WithoutAProviderNothingOpensAndALaterOneIsFound)
{
    Unregister();
    Directory(SmtpUser());
    CString name, address;
    {
        CIdentity identity;
        EXPECT_TRUE(FAILED(identity.IdentifyUser("SMTP", name, address)));
        EXPECT_FALSE(identity.IsOpen());
    }
    EXPECT_TRUE(Calls().empty());
    // mapi32 was let go, so it looks for its provider afresh.
    Register();
    CIdentity identity;
    EXPECT_EQ(S_OK, identity.IdentifyUser("SMTP", name, address));
    EXPECT_EQ("Jane.Doe@example.com", address);
    ExpectCleanSessions();
}

TEST_F(IdentityTest, LongTextsComeBackWhole)
{
    const std::string name(3000, 'n');
    const std::string smtp = std::string(3000, 'a') + "@example.com";
    Directory("identity=jdoe\n[user jdoe]\nname=" + name + "\ntype=EX\naddress=" +
              kExchangeAddress + "\nproxy=smtp:short@example.com\nproxy=SMTP:" + smtp + "\n");
    CIdentity identity;
    CString gotName, gotAddress;
    ASSERT_EQ(S_OK, identity.IdentifyUser("SMTP", gotName, gotAddress));
    EXPECT_EQ(name, gotName.str());
    EXPECT_EQ(smtp, gotAddress.str());
    ExpectCleanSessions();
}

TEST_F(IdentityTest, OpensNestAndOnlyTheOutermostCloseEndsTheSession)
{
    Directory(SmtpUser());
    CMapinator mapi;
    ASSERT_EQ(S_OK, mapi.Open());
    ASSERT_EQ(S_OK, mapi.Open());
    EXPECT_EQ(S_OK, mapi.Close());
    ASSERT_TRUE(mapi.IsOpen());
    // Still a live session after the inner Close.
    ULONG size = 0;
    LPENTRYID raw = nullptr;
    ASSERT_EQ(S_OK, mapi.GetSession()->QueryIdentity(&size, &raw));
    mapi::FreeBuffer(raw);
    EXPECT_EQ(0u, CountCalls("Session::Logoff"));
    EXPECT_EQ(S_OK, mapi.Close());
    EXPECT_EQ(S_OK, mapi.Close());
    EXPECT_FALSE(mapi.IsOpen());
    EXPECT_EQ(1u, CountCalls("MAPILogonEx"));
    EXPECT_EQ(1u, CountCalls("MAPIUninitialize objects="));
    ExpectCleanSessions();
}

TEST_F(IdentityTest, DestroyingAnOpenWrapperEndsItsSession)
{
    Directory(SmtpUser());
    {
        CMapinator mapi;
        ASSERT_EQ(S_OK, mapi.Open());
        ASSERT_EQ(S_OK, mapi.Open());
    }
    EXPECT_EQ(1u, CountCalls("MAPIUninitialize objects="));
    ExpectCleanSessions();
}

TEST_F(IdentityTest, ResolvePrefersTheMailboxNameAsDisplayName)
{
    // The address alone is unknown to the directory; the display name sent
    // with it is what finds the user.
    struct Case {
        const char* mailboxName;
        HRESULT result;
    } cases[] = {{nullptr, MAPI_E_NOT_FOUND}, {"John Doe", S_OK}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mailboxName ? c.mailboxName : "no mailbox name");
        if (c.mailboxName)
            testenv::WriteText(testenv::kProductKey, "MailboxName", c.mailboxName);
        ClearCalls();
        Directory(ExchangeUser({}));
        CProxy proxy;
        ASSERT_EQ(S_OK, proxy.Open());
        ULONG size = 0;
        LPENTRYID raw = nullptr;
        EXPECT_EQ(c.result, proxy.Resolve("/o=Org/cn=unknown", &size, &raw));
        mapi::Buffer<ENTRYID> id(raw);
        if (c.result == S_OK)
            EXPECT_EQ(std::string("\0\0\0\0Ujdoe", 9),
                      std::string(reinterpret_cast<const char*>(id.get()), size));
        else
            EXPECT_EQ(nullptr, id.get());
        id.reset();
        proxy.Close();
        ExpectCleanSessions();
    }
}

TEST_F(IdentityTest, AddressListEntriesAreReplacedAndBoundsChecked)
{
    Directory(SmtpUser());
    CProxy proxy;
    ASSERT_EQ(S_OK, proxy.Open());
    {
        LPADRLIST raw = nullptr;
        ASSERT_EQ(S_OK, proxy.CreateSizedAddressList(2, &raw));
        mapi::AdrList list(raw);
        ASSERT_EQ(2u, list->cEntries);
        EXPECT_EQ(0u, list->aEntries[1].cValues);
        EXPECT_EQ(nullptr, list->aEntries[1].rgPropVals);

        std::string text = "first@example.com";
        SPropValue props[2] = {};
        props[0].ulPropTag = PR_EMAIL_ADDRESS_A;
        props[0].Value.lpszA = text.data();
        props[1].ulPropTag = PR_RECIPIENT_TYPE;
        props[1].Value.l = MAPI_TO;
        ASSERT_EQ(S_OK, proxy.SetAddressList(1, 2, props, list.get()));
        // The list holds its own copy.
        text = "other";
        EXPECT_STREQ("first@example.com", list->aEntries[1].rgPropVals[0].Value.lpszA);
        ASSERT_EQ(S_OK, proxy.SetAddressList(1, 1, props + 1, list.get()));
        EXPECT_EQ(1u, list->aEntries[1].cValues);
        EXPECT_EQ(PR_RECIPIENT_TYPE, list->aEntries[1].rgPropVals[0].ulPropTag);
        EXPECT_EQ(E_FAIL, proxy.SetAddressList(2, 1, props, list.get()));
    }
    proxy.Close();
    // The replaced copy was freed too: no buffer is left at the end.
    ExpectCleanSessions();
}

TEST(NormalizeSmtpAddr, TakesTheAddressAndLowerCasesIt)
{
    struct Case {
        const char* input;
        bool normalised;
        const char* output;
    } cases[] = {
        {"Jane Doe <Jane.Doe@Example.COM>", true, "jane.doe@example.com"},
        {"(Jane.Doe@Example.com)", true, "jane.doe@example.com"},
        {"[jane@x.com]", true, "jane@x.com"},
        {"jane@x.com (Jane Doe)", true, "jane@x.com"},
        {"[Sales] Jane <jane@x.com>", true, "jane@x.com"},
        {"Jane (home) <jane@x.com>", true, "jane@x.com"},
        {"Jane <jane@x.com", true, "jane@x.com"},
        {"  JANE@X.COM \t", true, "jane@x.com"},
        {"Jane Doe", false, "Jane Doe"},
        {"Jane <Doe>", false, "Jane <Doe>"},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        CString text = c.input;
        EXPECT_EQ(c.normalised, NormalizeSmtpAddr(text)) << c.input;
        EXPECT_EQ(c.output, text) << c.input;
    }
}

TEST(NormalizeSmtpAddr, LongTextIsHandledWhole)
{
    const std::string local(5000, 'A');
    CString text = CString("Someone <") + local.c_str() + "@X.COM>";
    ASSERT_TRUE(NormalizeSmtpAddr(text));
    EXPECT_EQ(std::string(5000, 'a') + "@x.com", text.str());
}

TEST(RecipID, SplitFullName)
{
    struct Case {
        const char* fullName;
        const char* first;
        const char* last;
        const char* stored;
    } cases[] = {
        {"Smith, John", "John", "Smith", "John Smith"},
        {"John Paul Smith", "John", "Paul Smith", "John Paul Smith"},
        {"Cher", "", "", "Cher"},
        {"Smith,John", "", "", "Smith,John"},
    };
    for (const Case& c : cases) {
        CRecipID recipient;
        recipient.SplitFullName(c.fullName);
        EXPECT_EQ(c.first, recipient.m_firstName) << c.fullName;
        EXPECT_EQ(c.last, recipient.m_lastName) << c.fullName;
        EXPECT_EQ(c.stored, recipient.m_fullName) << c.fullName;
        EXPECT_TRUE(recipient.m_email.IsEmpty());
        EXPECT_TRUE(recipient.m_extra.IsEmpty());
    }
}

TEST(RecipID, KnownNamePartsAndNullsAreKept)
{
    CRecipID recipient;
    recipient.m_firstName = "Jo";
    recipient.m_lastName = "Doe";
    recipient.SplitFullName("Smith, John");
    EXPECT_EQ("Jo", recipient.m_firstName);
    EXPECT_EQ("Doe", recipient.m_lastName);
    EXPECT_EQ("Smith, John", recipient.m_fullName);

    recipient.SplitFullName(nullptr);
    EXPECT_EQ("Smith, John", recipient.m_fullName);
    recipient.SetEmail("jo@example.com");
    recipient.SetEmail(nullptr);
    EXPECT_EQ("jo@example.com", recipient.m_email);
}

} // namespace
