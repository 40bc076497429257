// What every test starts from: no product key in the registry and a
// temporary folder of its own (TMP and TEMP point there while it runs).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "classlib/strings/CString.h"

namespace testenv {

inline constexpr const char* kCompanyKey = "Software\\Quillet";
inline constexpr const char* kProductKey = "Software\\Quillet\\Quillet for Outlook";
inline constexpr const char* kAdvancedKey = "Software\\Quillet\\Quillet for Outlook\\Advanced";

struct RegValue {
    DWORD type = 0;
    std::string data;
};

// A value under HKCU, read raw; nothing when it is missing.
std::optional<RegValue> ReadValue(const char* keyPath, const char* name);
void WriteText(const char* keyPath, const char* name, const std::string& text,
               bool withZero = false);
void WriteDword(const char* keyPath, const char* name, DWORD value);
void WriteBinary(const char* keyPath, const char* name, const std::string& bytes);
// Names of the values directly under the key (empty when it is missing).
std::vector<std::string> ValueNames(const char* keyPath);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Names of the files directly in a folder, sorted.
std::vector<std::string> ListFiles(const std::string& folder);
// Those of them the system made as temporary files: it keeps three letters
// of its "Quill" prefix.
std::vector<std::string> QuillFiles(const std::string& folder);
// A Windows path's folder, with its closing backslash, and its file name.
std::string FolderOf(const std::string& path);
std::string FileNameOf(const std::string& path);

// Bytes of every value, the same for the same seed.
std::string RandomBytes(size_t size, unsigned seed);

// Runs a program to its end; its exit code, or -1 when it did not start.
int RunProcess(const std::string& commandLine, DWORD creationFlags = 0);
// Path of the running test program.
std::string SelfPath();
// Its folder, with the closing backslash: the programs and libraries a test
// runs or loads are copied there by its build.
std::string ProgramFolder();

} // namespace testenv

class CleanProfileTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The test's own temporary folder, with a closing backslash.
    const std::string& TempDir() const { return m_tempDir; }

private:
    std::string m_tempDir;
    std::string m_oldTmp;
    std::string m_oldTemp;
};
