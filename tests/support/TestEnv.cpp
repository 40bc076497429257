#include "tests/support/TestEnv.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <shlwapi.h>

#include "classlib/win32/CRegKey.h"
#include "classlib/win32/Handles.h"

namespace testenv {

std::optional<RegValue> ReadValue(const char* keyPath, const char* name)
{
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, keyPath, KEY_READ) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue value;
    DWORD size = 0;
    if (key.QueryValue(name, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (key.QueryValue(name, &value.type, value.data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

static void Write(const char* keyPath, const char* name, DWORD type, const void* data, DWORD size)
{
    CRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, keyPath, nullptr, KEY_ALL_ACCESS))
        << keyPath;
    ASSERT_EQ(ERROR_SUCCESS, key.SetValue(name, type, data, size)) << name;
}

void WriteText(const char* keyPath, const char* name, const std::string& text, bool withZero)
{
    Write(keyPath, name, REG_SZ, text.c_str(),
          static_cast<DWORD>(text.size() + (withZero ? 1 : 0)));
}

void WriteDword(const char* keyPath, const char* name, DWORD value)
{
    Write(keyPath, name, REG_DWORD, &value, sizeof value);
}

void WriteBinary(const char* keyPath, const char* name, const std::string& bytes)
{
    Write(keyPath, name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

std::vector<std::string> ValueNames(const char* keyPath)
{
    std::vector<std::string> names;
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, keyPath, KEY_READ) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumValueA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListFiles(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\')
        pattern += '\\';
    CFindHandle find(FindFirstFileA((pattern + "*").c_str(), &data));
    if (!find.IsValid())
        return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.emplace_back(data.cFileName);
    } while (FindNextFileA(find.Get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> QuillFiles(const std::string& folder)
{
    std::vector<std::string> found;
    for (const std::string& name : ListFiles(folder)) {
        if (name.rfind("Qui", 0) == 0)
            found.push_back(name);
    }
    return found;
}

std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.rfind('\\') + 1);
}

std::string FileNameOf(const std::string& path)
{
    return path.substr(path.rfind('\\') + 1);
}

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

int RunProcess(const std::string& commandLine, DWORD creationFlags)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, creationFlags, nullptr,
                        nullptr, &startup, &info))
        return -1;
    CKernelHandle process(info.hProcess);
    CKernelHandle thread(info.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return static_cast<int>(code);
}

std::string SelfPath()
{
    char path[MAX_PATH * 2];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

std::string ProgramFolder()
{
    return FolderOf(SelfPath());
}

} // namespace testenv

namespace {

std::string GetEnv(const char* name)
{
    char value[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length && length < sizeof value ? std::string(value, length) : std::string();
}

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA data;
    CFindHandle find(FindFirstFileA((folder + "*").c_str(), &data));
    if (find.IsValid()) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find.Get(), &data));
    }
    RemoveDirectoryA(folder.c_str());
}

} // namespace

void CleanProfileTest::SetUp()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, testenv::kCompanyKey);

    m_oldTmp = GetEnv("TMP");
    m_oldTemp = GetEnv("TEMP");
    char base[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof base, base));
    static int serial = 0;
    char folder[MAX_PATH];
    wsprintfA(folder, "%squillet-test-%lu-%d\\", base, GetCurrentProcessId(), ++serial);
    m_tempDir = folder;
    RemoveTree(m_tempDir);
    ASSERT_TRUE(CreateDirectoryA(m_tempDir.c_str(), nullptr)) << m_tempDir;
    SetEnvironmentVariableA("TMP", m_tempDir.c_str());
    SetEnvironmentVariableA("TEMP", m_tempDir.c_str());
}

void CleanProfileTest::TearDown()
{
    SetEnvironmentVariableA("TMP", m_oldTmp.empty() ? nullptr : m_oldTmp.c_str());
    SetEnvironmentVariableA("TEMP", m_oldTemp.empty() ? nullptr : m_oldTemp.c_str());
    if (!m_tempDir.empty())
        RemoveTree(m_tempDir);
    SHDeleteKeyA(HKEY_CURRENT_USER, testenv::kCompanyKey);
}
