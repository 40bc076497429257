#include "standins/outlook/host/Report.h"

#include <windows.h>

namespace host {

std::wstring FromUtf8(const std::string& bytes)
{
    std::wstring text;
    if (!standin::FromUtf8(bytes, text))
        text = L"<not UTF-8>";
    return text;
}

CReport::~CReport()
{
    if (m_file)
        fclose(m_file);
}

bool CReport::Open(const std::wstring& path)
{
    m_file = _wfopen(path.c_str(), L"wb");
    return m_file != nullptr;
}

void CReport::Line(const std::wstring& text)
{
    const std::string line = ToUtf8(text) + "\n";
    fputs(line.c_str(), stdout);
    fflush(stdout);
    if (m_file) {
        fputs(line.c_str(), m_file);
        fflush(m_file);
    }
}

void CReport::Error(const std::wstring& text)
{
    ++m_errors;
    Line(L"error " + text);
}

} // namespace host
