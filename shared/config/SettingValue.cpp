#include "shared/config/SettingValue.h"

#include <vector>

#include "classlib/win32/CRegKey.h"

namespace {

bool IsText(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// Longest text taken as a number: a DWORD has 10 digits; a few leading
// zeros more are still that number, a longer text is something else.
constexpr DWORD kNumberTextCapacity = 32;

// The whole text is decimal digits and their number fits a DWORD.
bool PlainNumber(const char* text, DWORD& value)
{
    if (*text == '\0')
        return false;
    ULONGLONG number = 0;
    for (const char* at = text; *at; ++at) {
        if (*at < '0' || *at > '9')
            return false;
        number = number * 10 + static_cast<ULONGLONG>(*at - '0');
        if (number > 0xFFFFFFFFull)
            return false;
    }
    value = static_cast<DWORD>(number);
    return true;
}

} // namespace

LONG ReadSettingText(const CRegKey& key, const char* name, CString& text, DWORD capacity)
{
    if (capacity < 2)
        return ERROR_INVALID_PARAMETER;
    // One byte beyond what may be kept, so a value that fills the capacity
    // exactly is still seen as too long, and a zero always follows the data.
    std::vector<char> buffer(capacity + 1, '\0');
    DWORD type = REG_NONE;
    DWORD size = capacity;
    const LONG result = key.QueryValue(name, &type, buffer.data(), &size);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
        return result;
    if (!IsText(type))
        return ERROR_DATATYPE_MISMATCH;
    if (result == ERROR_MORE_DATA || (size >= capacity && buffer[capacity - 1] != '\0'))
        return ERROR_MORE_DATA;
    text = CString(buffer.data());
    return ERROR_SUCCESS;
}

LONG ReadSettingNumber(const CRegKey& key, const char* name, DWORD& value)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG result = key.QueryValue(name, &type, nullptr, &size);
    if (result != ERROR_SUCCESS)
        return result;
    if (type == REG_DWORD || type == REG_BINARY) {
        DWORD number = 0;
        const DWORD asked = type;
        size = sizeof number;
        // Read again, so a value changed in between is seen as it is now.
        result = key.QueryValue(name, &type, &number, &size);
        if (result == ERROR_MORE_DATA ||
            (result == ERROR_SUCCESS && (type != asked || size != sizeof number)))
            return ERROR_DATATYPE_MISMATCH;
        if (result != ERROR_SUCCESS)
            return result;
        value = number;
        return ERROR_SUCCESS;
    }
    if (!IsText(type))
        return ERROR_DATATYPE_MISMATCH;
    CString text;
    result = ReadSettingText(key, name, text, kNumberTextCapacity);
    if (result == ERROR_MORE_DATA)
        return ERROR_DATATYPE_MISMATCH;
    if (result != ERROR_SUCCESS)
        return result;
    DWORD number = 0;
    if (!PlainNumber(text, number))
        return ERROR_DATATYPE_MISMATCH;
    value = number;
    return ERROR_SUCCESS;
}
