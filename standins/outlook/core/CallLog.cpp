#include "standins/outlook/core/CallLog.h"

#include <algorithm>

namespace standin {

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring CCallRecord::Text() const
{
    std::wstring text = kind + L"." + member;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const size_t indexCount = put && !args.empty() ? args.size() - 1 : args.size();
    text += L"(";
    for (size_t i = 0; i < indexCount; ++i) {
        if (i)
            text += L", ";
        text += args[i];
    }
    text += L")";
    if (put && !args.empty())
        text += ((flags & DISPATCH_PROPERTYPUTREF) ? L" := " : L" = ") + args.back();
    if (FAILED(result)) {
        wchar_t code[16];
        wsprintfW(code, L" -> %08lX", static_cast<unsigned long>(result));
        text += code;
    }
    return text;
}

CCallLog::CQuiet::CQuiet()
{
    ++CallLog().m_quiet;
}

CCallLog::CQuiet::~CQuiet()
{
    --CallLog().m_quiet;
}

void CCallLog::Add(CCallRecord record)
{
    if (m_quiet == 0)
        m_records.push_back(std::move(record));
}

std::vector<CCallRecord> CCallLog::Of(const std::wstring& kind, const std::wstring& member) const
{
    std::vector<CCallRecord> found;
    for (const auto& record : m_records)
        if (SameName(record.kind, kind) && SameName(record.member, member))
            found.push_back(record);
    return found;
}

size_t CCallLog::Count(const std::wstring& kind, const std::wstring& member) const
{
    return static_cast<size_t>(
        std::count_if(m_records.begin(), m_records.end(), [&](const auto& r) {
            return SameName(r.kind, kind) && SameName(r.member, member);
        }));
}

std::wstring CCallLog::Dump() const
{
    std::wstring text;
    for (const auto& record : m_records)
        text += record.Text() + L"\n";
    return text;
}

void CCallLog::Inject(const std::wstring& kind, const std::wstring& member, HRESULT hr, int times)
{
    m_injections.push_back({kind, member, hr, times});
}

HRESULT CCallLog::TakeInjected(const std::wstring& kind, const std::wstring& member)
{
    if (IsQuiet())
        return S_OK;
    for (auto it = m_injections.begin(); it != m_injections.end(); ++it) {
        if (!SameName(it->kind, kind) || !SameName(it->member, member))
            continue;
        const HRESULT hr = it->hr;
        if (it->times > 0 && --it->times == 0)
            m_injections.erase(it);
        return hr;
    }
    return S_OK;
}

CCallLog& CallLog()
{
    static CCallLog log;
    return log;
}

} // namespace standin
