// CBstr: owns one BSTR. Converts from and to the narrow process code page,
// the only place where the system's 8-bit text meets COM's UTF-16.
#pragma once

#include <utility>
#include <windows.h>
#include <oleauto.h>

#include "classlib/strings/CString.h"

class CBstr {
public:
    CBstr() = default;
    explicit CBstr(const char* text);
    explicit CBstr(const wchar_t* text) : m_bstr(text ? SysAllocString(text) : nullptr) {}
    CBstr(const CBstr& other) : m_bstr(other.Copy()) {}
    CBstr(CBstr&& other) noexcept : m_bstr(std::exchange(other.m_bstr, nullptr)) {}
    CBstr& operator=(CBstr other) noexcept
    {
        std::swap(m_bstr, other.m_bstr);
        return *this;
    }
    ~CBstr() { SysFreeString(m_bstr); }

    BSTR Get() const { return m_bstr; }
    unsigned Length() const { return SysStringLen(m_bstr); }

    // Frees what is held and gives the address for an out-parameter.
    BSTR* Put()
    {
        SysFreeString(std::exchange(m_bstr, nullptr));
        return &m_bstr;
    }
    BSTR Copy() const { return m_bstr ? SysAllocStringLen(m_bstr, Length()) : nullptr; }
    BSTR Detach() { return std::exchange(m_bstr, nullptr); }
    void Attach(BSTR bstr)
    {
        SysFreeString(m_bstr);
        m_bstr = bstr;
    }

    // The text in the process code page (empty for a null BSTR).
    CString ToString() const { return ToNarrow(m_bstr, Length()); }

    static CString ToNarrow(const wchar_t* text, int units = -1);

private:
    BSTR m_bstr = nullptr;
};
