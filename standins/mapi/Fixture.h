// CFixture: the directory a test hands the stand-in provider, read from a
// small INI-like text file:
//
//   identity=jane            key of the user the session logs on as
//   gals=1                   how many Exchange root address lists to offer
//   fail=Session::OpenEntry  a call that fails with MAPI_E_CALL_FAILED
//                            (repeatable; "MAPILogonEx" fails the logon)
//   [user jane]
//   name=Jane Doe
//   type=EX                  PR_ADDRTYPE_A
//   address=/o=Org/cn=jane   PR_EMAIL_ADDRESS_A
//   proxy=SMTP:jane@x.com    one value of PR_EMS_AB_PROXY_ADDRESSES_A
//   objtype=6                what OpenEntry reports (MAPI_MAILUSER by default)
//
// A key that is missing leaves its property out altogether.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

struct FixtureUser {
    std::string key;
    std::optional<std::string> name;
    std::optional<std::string> type;
    std::optional<std::string> address;
    std::vector<std::string> proxies;
    bool hasProxies = false;
    unsigned long objectType = 6;
};

class CFixture {
public:
    // An empty directory when the file is missing or path is empty.
    static CFixture Load(const std::string& path);

    const FixtureUser* FindUser(const std::string& key) const;
    // By e-mail address (any case), else by display name (any case).
    const FixtureUser* Lookup(const char* address, const char* name) const;
    bool Fails(const char* call) const { return m_failures.count(call) != 0; }

    std::string identity;
    unsigned galCount = 1;
    std::vector<FixtureUser> users;

private:
    std::set<std::string, std::less<>> m_failures;
};
