// CReport: what the host program tells the test that started it, one line
// an event ("addin Sample.Addin connected", "dialog Quillet Login", "error
// line 4: ..."), in UTF-8, to a file and to standard output.
#pragma once

#include <cstdio>
#include <string>

#include "standins/outlook/model/RecordFile.h"

namespace host {

class CReport {
public:
    CReport() = default;
    CReport(const CReport&) = delete;
    CReport& operator=(const CReport&) = delete;
    ~CReport();

    bool Open(const std::wstring& path);
    void Line(const std::wstring& text);
    void Error(const std::wstring& text);
    bool HadError() const { return m_errors > 0; }

private:
    FILE* m_file = nullptr;
    int m_errors = 0;
};

// The report is UTF-8. Texts that come back from the scripted user are
// UTF-8 as well; one that is not is shown as such.
using standin::ToUtf8;
std::wstring FromUtf8(const std::string& bytes);

} // namespace host
