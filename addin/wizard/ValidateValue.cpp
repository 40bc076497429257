#include "addin/wizard/ValidateValue.h"

#include "classlib/strings/CRegExp.h"
#include "shared/requests/KeywordValue.h"
#include "shared/service/NormalizeDate.h"

namespace {

// In the pattern syntax "\c" is one letter: a dotted domain whose last
// part has two to four letters.
constexpr char kEmailPattern[] = "^[a-zA-Z0-9\\._%\\+\\-]+@([a-zA-Z0-9-]+\\.)+\\c\\c\\c?\\c?$";

// A field of a date: one to maxDigits digits and nothing else, its value
// within [low, high].
bool DateField(const CString& text, int maxDigits, int low, int high)
{
    if (text.IsEmpty() || text.GetLength() > maxDigits)
        return false;
    int value = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return value >= low && value <= high;
}

// Month/day/year with a month of 1 to 12, a day of 1 to 31 and a year of
// up to four digits: what the "MM/DD/YYYY" form can say without guessing.
bool IsDate(const CString& text)
{
    const int first = text.Find('/');
    const int second = first < 0 ? -1 : text.Find('/', first + 1);
    if (second < 0 || text.Find('/', second + 1) >= 0)
        return false;
    return DateField(text.Left(first), 2, 1, 12) &&
           DateField(text.Mid(first + 1, second - first - 1), 2, 1, 31) &&
           DateField(text.Mid(second + 1), 4, 0, 9999);
}

} // namespace

int ValidateValue(CKeywordValue& value, HWND parent)
{
    if (value.m_pattern.IsEmpty() || value.m_value.IsEmpty())
        return 1;
    if (value.m_value == value.m_prompt || value.m_type == "List")
        return 1;
    if (value.m_type == "Date") {
        // A month name or a day of 45 would otherwise come out as a date
        // that looks right and says something else.
        if (!IsDate(value.m_value))
            return 0;
        return NormalizeDate(value.m_value) ? 1 : 0;
    }
    const char* pattern =
        value.m_pattern.Find('@') >= 0 ? kEmailPattern : value.m_pattern.GetString();
    CRegExp expression;
    if (expression.Parse(pattern, false) != CRegExp::ParseError::None)
        return 1;
    if (expression.Match(value.m_value))
        return 1;
    if (!value.m_errorMessage.IsEmpty())
        ::MessageBoxA(parent, value.m_errorMessage, nullptr, MB_OK | MB_ICONSTOP);
    else
        ::MessageBeep(MB_ICONHAND);
    return 0;
}

void SplitOptions(CKeywordValue& value, const char* text)
{
    CString rest = text ? text : "";
    while (!rest.IsEmpty()) {
        const int separator = rest.Find(';');
        if (separator < 0) {
            value.m_choices.AddTail(rest);
            break;
        }
        value.m_choices.AddTail(rest.Left(separator));
        rest = rest.Mid(separator + 1);
    }
}
