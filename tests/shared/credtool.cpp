// A second program for the credentials tests: stores or checks the stored
// credentials the way another deliverable would.
//   credtool store <email> <password> <account>   exit 0 when stored
//   credtool check <email> <password> <account>   exit 0 when they match
#include <cstring>
#include <objbase.h>

#include "shared/config/Config.h"

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    CConfig config;
    CCredentials credentials;
    if (std::strcmp(argv[1], "store") == 0) {
        credentials.m_email = argv[2];
        credentials.m_password = argv[3];
        credentials.m_accountId = argv[4];
        return config.SetCredentials(credentials) == S_OK ? 0 : 1;
    }
    if (std::strcmp(argv[1], "check") == 0) {
        if (config.GetCredentials(credentials) != S_OK)
            return 3;
        const bool same = credentials.m_email == argv[2] && credentials.m_password == argv[3] &&
                          credentials.m_accountId == argv[4];
        return same ? 0 : 1;
    }
    return 2;
}
