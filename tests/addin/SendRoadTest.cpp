#include "tests/addin/SendRoadTest.h"

#include <sstream>

#include "tests/support/TestEnv.h"

namespace {

constexpr const char* kVariable = "QUILLET_RECORDER_OUT";

void SetDefault(HKEY parent, const std::string& path, const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

} // namespace

CRecorder::CRecorder(std::string path) : m_path(std::move(path))
{
    char previous[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableA(kVariable, previous, sizeof previous);
    m_hadPrevious = length > 0 && length < sizeof previous;
    if (m_hadPrevious)
        m_previous = previous;
    DeleteFileA(m_path.c_str());
    SetEnvironmentVariableA(kVariable, m_path.c_str());
}

CRecorder::~CRecorder()
{
    SetEnvironmentVariableA(kVariable, m_hadPrevious ? m_previous.c_str() : nullptr);
}

std::vector<std::string> CRecorder::Lines() const
{
    std::vector<std::string> lines;
    if (!testenv::FileExists(m_path))
        return lines;
    std::istringstream text(testenv::ReadFileBytes(m_path));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> CRecorder::WaitForLines(size_t count, DWORD timeoutMs) const
{
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    for (;;) {
        std::vector<std::string> lines = Lines();
        if (lines.size() >= count || GetTickCount64() >= until)
            return lines;
        Sleep(50);
    }
}

CBrowserClass::CBrowserClass(const std::string& openCommand, const std::string& openNewCommand,
                             bool noClass)
{
    HKEY htm = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ".htm", 0, KEY_READ, &htm) == ERROR_SUCCESS) {
        m_hadHtm = true;
        char value[256] = {};
        DWORD size = sizeof value - 1;
        DWORD type = 0;
        if (RegQueryValueExA(htm, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            m_hadHtmValue = true;
            m_previousClass = value;
        }
        RegCloseKey(htm);
    }
    if (noClass) {
        SetDefault(HKEY_CLASSES_ROOT, ".htm", "");
        return;
    }
    SetDefault(HKEY_CLASSES_ROOT, ".htm", kClass);
    const std::string shell = std::string(kClass) + "\\shell\\";
    if (!openCommand.empty())
        SetDefault(HKEY_CLASSES_ROOT, shell + "open\\command", openCommand);
    if (!openNewCommand.empty())
        SetDefault(HKEY_CLASSES_ROOT, shell + "opennew\\command", openNewCommand);
    if (openCommand.empty() && openNewCommand.empty())
        SetDefault(HKEY_CLASSES_ROOT, kClass, "a class without commands");
}

CBrowserClass::~CBrowserClass()
{
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kClass);
    if (!m_hadHtm) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ".htm");
        return;
    }
    if (m_hadHtmValue) {
        SetDefault(HKEY_CLASSES_ROOT, ".htm", m_previousClass);
    } else {
        HKEY htm = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ".htm", 0, KEY_WRITE, &htm) == ERROR_SUCCESS) {
            RegDeleteValueA(htm, nullptr);
            RegCloseKey(htm);
        }
    }
}

std::string RecorderCommand()
{
    return "\"" + testenv::ProgramFolder() + "recorder.exe\"";
}
