#include "standins/mapi/Fixture.h"

#include <fstream>
#include <windows.h>

static std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

static bool SameNoCase(const std::string& a, const char* b)
{
    return b && lstrcmpiA(a.c_str(), b) == 0;
}

CFixture CFixture::Load(const std::string& path)
{
    CFixture fixture;
    if (path.empty())
        return fixture;
    std::ifstream in(path);
    std::string line;
    FixtureUser* user = nullptr;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            std::string section = Trim(line.substr(1, line.size() - 2));
            if (section.rfind("user ", 0) == 0) {
                fixture.users.push_back(FixtureUser{});
                user = &fixture.users.back();
                user->key = Trim(section.substr(5));
            } else {
                user = nullptr;
            }
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string name = Trim(line.substr(0, equals));
        std::string value = Trim(line.substr(equals + 1));
        if (user) {
            if (name == "name")
                user->name = value;
            else if (name == "type")
                user->type = value;
            else if (name == "address")
                user->address = value;
            else if (name == "proxy") {
                user->proxies.push_back(value);
                user->hasProxies = true;
            } else if (name == "objtype")
                user->objectType = std::stoul(value);
        } else if (name == "identity") {
            fixture.identity = value;
        } else if (name == "gals") {
            fixture.galCount = static_cast<unsigned>(std::stoul(value));
        } else if (name == "fail") {
            fixture.m_failures.insert(value);
        }
    }
    return fixture;
}

const FixtureUser* CFixture::FindUser(const std::string& key) const
{
    for (const FixtureUser& user : users)
        if (user.key == key)
            return &user;
    return nullptr;
}

const FixtureUser* CFixture::Lookup(const char* address, const char* name) const
{
    for (const FixtureUser& user : users)
        if (user.address && SameNoCase(*user.address, address))
            return &user;
    for (const FixtureUser& user : users)
        if (user.name && SameNoCase(*user.name, name))
            return &user;
    return nullptr;
}
