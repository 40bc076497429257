// CRegKey: owns one open registry key (ANSI functions throughout). The
// operations return what the registry API returns (ERROR_SUCCESS or a code).
#pragma once

#include <utility>
#include <windows.h>

#include "classlib/strings/CString.h"

class CRegKey {
public:
    CRegKey() = default;
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    CRegKey(CRegKey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
    ~CRegKey() { Close(); }

    HKEY Get() const { return m_key; }
    bool IsOpen() const { return m_key != nullptr; }

    [[nodiscard]] LONG Open(HKEY parent, const char* path, REGSAM access);
    // Creates the key when missing (class text as given, options 0).
    [[nodiscard]] LONG Create(HKEY parent, const char* path, const char* keyClass, REGSAM access);
    void Close();

    // The value's raw bytes; size is in/out as RegQueryValueEx.
    [[nodiscard]] LONG QueryValue(const char* name, DWORD* type, void* data, DWORD* size) const;
    [[nodiscard]] LONG SetValue(const char* name, DWORD type, const void* data, DWORD size) const;
    [[nodiscard]] LONG DeleteValue(const char* name) const;

    // A REG_SZ read into a buffer of at most capacity bytes; the text ends at
    // the first zero or at the end of the data (values may be stored without
    // their zero). Fails with ERROR_MORE_DATA when the value does not fit
    // with room for a closing zero.
    [[nodiscard]] LONG QueryText(const char* name, CString& text, DWORD capacity) const;
    [[nodiscard]] LONG QueryDword(const char* name, DWORD& value) const;

private:
    HKEY m_key = nullptr;
};
