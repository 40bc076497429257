#include "shared/service/NormalizeDate.h"

int NormalizeDate(CString& text)
{
    const int first = text.Find('/');
    const int second = first < 0 ? -1 : text.Find('/', first + 1);
    if (text.IsEmpty() || second < 0)
        return 0;
    // Each part is read for its leading digits (none: 0) and kept to 16 bits.
    const auto part = [](const CString& digits) {
        unsigned value = 0;
        for (const char* at = digits; *at >= '0' && *at <= '9'; ++at)
            value = value * 10 + static_cast<unsigned>(*at - '0');
        return static_cast<unsigned short>(value);
    };
    const unsigned month = part(text.Left(first));
    const unsigned day = part(text.Mid(first + 1, second - first - 1));
    const unsigned year = part(text.Mid(second + 1));
    text.Format("%02u/%02u/%04u", month, day, year);
    return 1;
}
