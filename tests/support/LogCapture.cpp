#include "tests/support/LogCapture.h"

#include <cstdlib>

#include "shared/log/DebugLog.h"
#include "tests/support/TestEnv.h"

std::string LogFileText(const std::string& xml)
{
    std::string text;
    for (size_t i = 0; i < xml.size(); ++i) {
        if (xml[i] == '&') {
            const size_t end = xml.find(';', i);
            const std::string entity = xml.substr(i + 1, end - i - 1);
            if (entity.size() > 1 && entity[0] == '#')
                text += static_cast<char>(std::strtol(entity.c_str() + 1, nullptr, 10));
            else
                text += entity == "lt"     ? '<'
                        : entity == "gt"   ? '>'
                        : entity == "quot" ? '"'
                        : entity == "apos" ? '\''
                                           : '&';
            i = end;
        } else {
            text += xml[i];
        }
    }
    return text;
}

LogCapture::LogCapture()
{
    testenv::WriteDword(testenv::kAdvancedKey, "Diagnose", 1);
    testenv::WriteDword(testenv::kAdvancedKey, "Flags", CDebugLog::kXml | CDebugLog::kFile);
    m_log = std::make_unique<CDebugLog>();
    CDebugLog::SetProcess(m_log.get());
}

LogCapture::~LogCapture()
{
    CDebugLog::SetProcess(nullptr);
}

std::string LogCapture::Text() const
{
    return LogFileText(testenv::ReadFileBytes(m_log->GetFilePath().str()));
}

::testing::AssertionResult InOrder(const std::string& log, const std::vector<std::string>& texts)
{
    size_t at = 0;
    for (const std::string& text : texts) {
        const size_t found = log.find(text, at);
        if (found == std::string::npos)
            return ::testing::AssertionFailure()
                   << "missing or out of order: \"" << text << "\" in\n"
                   << log;
        at = found + text.size();
    }
    return ::testing::AssertionSuccess();
}
