#include "standins/outlook/model/ValueText.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cwchar>

namespace standin {

std::wstring Trimmed(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

namespace {

bool DateToText(double date, std::wstring& text)
{
    SYSTEMTIME time{};
    if (!VariantTimeToSystemTime(date, &time))
        return false;
    wchar_t buffer[32];
    swprintf(buffer, 32, L"%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay,
             time.wHour, time.wMinute, time.wSecond);
    text = buffer;
    return true;
}

bool TextToDate(const std::wstring& text, double& date)
{
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    wchar_t rest = 0;
    const int got = swscanf(text.c_str(), L"%4u-%2u-%2u %2u:%2u:%2u%lc", &year, &month, &day, &hour,
                            &minute, &second, &rest);
    // A day alone, or a day and a time, and nothing more.
    if (!((got == 3 && text.size() == 10) || (got == 6 && text.size() == 19)))
        return false;
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
        return false;
    return SystemTimeToVariantTime(&time, &date) != FALSE;
}

} // namespace

CVariant TextVariant(const std::wstring& text)
{
    CVariant value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return value;
}

double MakeDate(int year, int month, int day, int hour, int minute, int second)
{
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    double date = 0;
    SystemTimeToVariantTime(&time, &date);
    return date;
}

double Now()
{
    SYSTEMTIME time{};
    GetLocalTime(&time);
    time.wMilliseconds = 0;
    double date = 0;
    SystemTimeToVariantTime(&time, &date);
    return date;
}

bool ValueToText(const VARIANT& value, std::wstring& text)
{
    wchar_t buffer[64];
    switch (value.vt) {
    case VT_BSTR:
        text.assign(value.bstrVal ? value.bstrVal : L"", SysStringLen(value.bstrVal));
        return true;
    case VT_I4:
        text = std::to_wstring(value.lVal);
        return true;
    case VT_BOOL:
        text = value.boolVal != VARIANT_FALSE ? L"true" : L"false";
        return true;
    case VT_R8:
        swprintf(buffer, 64, L"%.17g", value.dblVal);
        text = buffer;
        return true;
    case VT_CY: {
        const long long units = value.cyVal.int64;
        const unsigned long long magnitude = units < 0
                                                 ? 0ULL - static_cast<unsigned long long>(units)
                                                 : static_cast<unsigned long long>(units);
        swprintf(buffer, 64, L"%s%llu.%04llu", units < 0 ? L"-" : L"", magnitude / 10000,
                 magnitude % 10000);
        text = buffer;
        return true;
    }
    case VT_DATE:
        return DateToText(value.date, text);
    default:
        return false;
    }
}

bool TextToValue(const std::wstring& text, VARTYPE type, CVariant& value)
{
    value.Clear();
    wchar_t* end = nullptr;
    switch (type) {
    case VT_BSTR:
        value = TextVariant(text);
        return true;
    case VT_I4: {
        errno = 0;
        const long long number = wcstoll(text.c_str(), &end, 10);
        if (text.empty() || *end || errno || number < LONG_MIN || number > LONG_MAX)
            return false;
        value.vt = VT_I4;
        value.lVal = static_cast<long>(number);
        return true;
    }
    case VT_BOOL:
        if (text != L"true" && text != L"false")
            return false;
        value.vt = VT_BOOL;
        value.boolVal = text == L"true" ? VARIANT_TRUE : VARIANT_FALSE;
        return true;
    case VT_R8: {
        const double number = wcstod(text.c_str(), &end);
        if (text.empty() || *end)
            return false;
        value.vt = VT_R8;
        value.dblVal = number;
        return true;
    }
    case VT_CY: {
        // Whole units, then up to four decimals.
        const bool negative = !text.empty() && text[0] == L'-';
        const std::wstring digits = negative ? text.substr(1) : text;
        const size_t dot = digits.find(L'.');
        const std::wstring whole = digits.substr(0, dot);
        std::wstring fraction = dot == std::wstring::npos ? L"" : digits.substr(dot + 1);
        if (whole.empty() || fraction.size() > 4 ||
            whole.find_first_not_of(L"0123456789") != std::wstring::npos ||
            fraction.find_first_not_of(L"0123456789") != std::wstring::npos || whole.size() > 14)
            return false;
        fraction.resize(4, L'0');
        const long long units = std::stoll(whole) * 10000 + std::stoll(fraction);
        value.vt = VT_CY;
        value.cyVal.int64 = negative ? -units : units;
        return true;
    }
    case VT_DATE: {
        double date = 0;
        if (!TextToDate(text, date))
            return false;
        value.vt = VT_DATE;
        value.date = date;
        return true;
    }
    default:
        return false;
    }
}

} // namespace standin
