#include "tests/support/MapiStandIn.h"

#include <cstring>
#include <sstream>
#include <windows.h>

#include "classlib/win32/CRegKey.h"
#include "tests/support/TestEnv.h"

namespace {
constexpr const char* kMailKey = "Software\\Clients\\Mail";
constexpr const char* kClientName = "Quillet MAPI Stand-in";
} // namespace

CMapiStandIn::CMapiStandIn(const std::string& folder)
    : m_directoryPath(folder + "directory.ini"), m_logPath(folder + "mapi.log")
{
    SetEnvironmentVariableA("QUILLET_MAPI_FIXTURE", m_directoryPath.c_str());
    SetEnvironmentVariableA("QUILLET_MAPI_LOG", m_logPath.c_str());
    CRegKey mail;
    CString name;
    m_hadClient = mail.Open(HKEY_LOCAL_MACHINE, kMailKey, KEY_READ) == ERROR_SUCCESS &&
                  mail.QueryText(nullptr, name, 1024) == ERROR_SUCCESS;
    m_savedClient = name.str();
}

CMapiStandIn::~CMapiStandIn()
{
    Unregister();
    CRegKey mail;
    if (mail.Open(HKEY_LOCAL_MACHINE, kMailKey, KEY_ALL_ACCESS) == ERROR_SUCCESS) {
        if (m_hadClient)
            (void)mail.SetValue(nullptr, REG_SZ, m_savedClient.c_str(),
                                static_cast<DWORD>(m_savedClient.size() + 1));
        else
            (void)mail.DeleteValue(nullptr);
    }
    SetEnvironmentVariableA("QUILLET_MAPI_FIXTURE", nullptr);
    SetEnvironmentVariableA("QUILLET_MAPI_LOG", nullptr);
}

bool CMapiStandIn::Register()
{
    const std::string dll = testenv::ProgramFolder() + "mapistandin.dll";
    if (!testenv::FileExists(dll))
        return false;
    CRegKey mail;
    if (mail.Create(HKEY_LOCAL_MACHINE, kMailKey, nullptr, KEY_ALL_ACCESS) != ERROR_SUCCESS ||
        mail.SetValue(nullptr, REG_SZ, kClientName,
                      static_cast<DWORD>(std::strlen(kClientName) + 1)) != ERROR_SUCCESS)
        return false;
    CRegKey client;
    return client.Create(mail.Get(), kClientName, nullptr, KEY_ALL_ACCESS) == ERROR_SUCCESS &&
           client.SetValue("DLLPathEx", REG_SZ, dll.c_str(), static_cast<DWORD>(dll.size() + 1)) ==
               ERROR_SUCCESS;
}

void CMapiStandIn::Unregister()
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kMailKey) + "\\" + kClientName).c_str());
}

void CMapiStandIn::Directory(const std::string& text)
{
    testenv::WriteFileBytes(m_directoryPath, text);
}

std::vector<std::string> CMapiStandIn::Calls() const
{
    std::vector<std::string> lines;
    std::istringstream in(testenv::ReadFileBytes(m_logPath));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void CMapiStandIn::ClearCalls()
{
    DeleteFileA(m_logPath.c_str());
}
