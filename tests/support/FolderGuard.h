// A folder of the profile a test writes into (the Receipts or Sent Items
// data folder, say): the files made while the test ran are removed when it
// ends, and the ones that were there come back.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

#include "tests/support/TestEnv.h"

class CFolderGuard {
public:
    // folder and aside end with a backslash; setAside moves the files that
    // are there into aside until the end, so the test starts from none.
    CFolderGuard(std::string folder, std::string aside, bool setAside)
        : m_folder(std::move(folder)), m_aside(std::move(aside))
    {
        CreateDirectoryA(m_aside.c_str(), nullptr);
        for (const std::string& name : testenv::ListFiles(m_folder)) {
            if (setAside)
                MoveFileA((m_folder + name).c_str(), (m_aside + name).c_str());
            else
                m_before.push_back(name);
        }
    }
    CFolderGuard(const CFolderGuard&) = delete;
    CFolderGuard& operator=(const CFolderGuard&) = delete;
    ~CFolderGuard()
    {
        for (const std::string& name : testenv::ListFiles(m_folder)) {
            if (std::find(m_before.begin(), m_before.end(), name) == m_before.end())
                DeleteFileA((m_folder + name).c_str());
        }
        for (const std::string& name : testenv::ListFiles(m_aside))
            MoveFileA((m_aside + name).c_str(), (m_folder + name).c_str());
    }

private:
    std::string m_folder;
    std::string m_aside;
    std::vector<std::string> m_before;
};
