// The diagnostic log switched on (XML records to a file) and made the
// process's for the life of the object, with what it wrote read back as
// the texts that were logged; and a check that texts come in order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

class CDebugLog;

class LogCapture {
public:
    // Writes the settings that switch the log on; a CleanProfileTest
    // removes them at its end.
    LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture();

    // The log file so far, its XML escapes undone.
    std::string Text() const;

private:
    std::unique_ptr<CDebugLog> m_log;
};

// A log file's XML turned back into the texts that were logged (for the log
// of another process, such as a deliverable's program a test runs).
std::string LogFileText(const std::string& xml);

// Each of the texts occurs in the log, in the order given; the failure
// names the first one missing or out of order.
::testing::AssertionResult InOrder(const std::string& log, const std::vector<std::string>& texts);
