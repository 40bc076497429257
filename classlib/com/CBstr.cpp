#include "classlib/com/CBstr.h"

#include <cwchar>
#include <vector>

CBstr::CBstr(const char* text)
{
    if (!text)
        return;
    int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 0)
        return;
    m_bstr = SysAllocStringLen(nullptr, units - 1);
    if (m_bstr)
        MultiByteToWideChar(CP_ACP, 0, text, -1, m_bstr, units);
}

CString CBstr::ToNarrow(const wchar_t* text, int units)
{
    if (!text)
        return CString();
    if (units < 0)
        units = static_cast<int>(std::wcslen(text));
    if (units == 0)
        return CString();
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return CString();
    std::vector<char> buffer(bytes);
    WideCharToMultiByte(CP_ACP, 0, text, units, buffer.data(), bytes, nullptr, nullptr);
    return CString(buffer.data(), bytes);
}
