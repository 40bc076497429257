#include "classlib/win32/CRegKey.h"

#include <vector>

LONG CRegKey::Open(HKEY parent, const char* path, REGSAM access)
{
    Close();
    return RegOpenKeyExA(parent, path, 0, access, &m_key);
}

LONG CRegKey::Create(HKEY parent, const char* path, const char* keyClass, REGSAM access)
{
    Close();
    return RegCreateKeyExA(parent, path, 0, const_cast<char*>(keyClass), 0, access, nullptr, &m_key,
                           nullptr);
}

void CRegKey::Close()
{
    if (m_key) {
        RegCloseKey(m_key);
        m_key = nullptr;
    }
}

LONG CRegKey::QueryValue(const char* name, DWORD* type, void* data, DWORD* size) const
{
    return RegQueryValueExA(m_key, name, nullptr, type, static_cast<BYTE*>(data), size);
}

LONG CRegKey::SetValue(const char* name, DWORD type, const void* data, DWORD size) const
{
    return RegSetValueExA(m_key, name, 0, type, static_cast<const BYTE*>(data), size);
}

LONG CRegKey::DeleteValue(const char* name) const
{
    return RegDeleteValueA(m_key, name);
}

LONG CRegKey::QueryText(const char* name, CString& text, DWORD capacity) const
{
    if (capacity < 2)
        return ERROR_INVALID_PARAMETER;
    // One byte beyond what may be kept, so a value that fills the capacity
    // exactly is still seen as too long, and a zero always follows the data.
    std::vector<char> buffer(capacity + 1, '\0');
    DWORD size = capacity;
    LONG result = QueryValue(name, nullptr, buffer.data(), &size);
    if (result != ERROR_SUCCESS)
        return result;
    if (size >= capacity && buffer[capacity - 1] != '\0')
        return ERROR_MORE_DATA;
    text = CString(buffer.data());
    return ERROR_SUCCESS;
}

LONG CRegKey::QueryDword(const char* name, DWORD& value) const
{
    DWORD data = 0;
    DWORD size = sizeof data;
    LONG result = QueryValue(name, nullptr, &data, &size);
    if (result == ERROR_SUCCESS)
        value = data;
    return result;
}
