// The stand-in's record of every call made on its objects, and the failures
// a test asks for. Tests read the record to see what the code under test did
// to Outlook (which members, in which order, with which arguments), and
// inject failures to walk the code's error paths. One record per process:
// the object model lives on one thread, as Outlook's does.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace standin {

struct CCallRecord {
    std::wstring kind;   // the object's kind, as "MailItem"
    std::wstring member; // as the member is defined, or as asked for when unknown
    WORD flags = 0;      // DISPATCH_*; 0 for a name look-up that failed
    // Arguments in declaration order as texts; a put's value comes last.
    std::vector<std::wstring> args;
    HRESULT result = S_OK;

    // "MailItem.Save()", "CommandBarButton.Caption=(Quillet-It)".
    std::wstring Text() const;
};

class CCallLog {
public:
    // While one lives, calls are not recorded: the host program's own
    // doings as the user are not the add-in's calls.
    class CQuiet {
    public:
        CQuiet();
        CQuiet(const CQuiet&) = delete;
        CQuiet& operator=(const CQuiet&) = delete;
        ~CQuiet();
    };

    bool IsQuiet() const { return m_quiet > 0; }
    void Clear() { m_records.clear(); }
    void Add(CCallRecord record);
    const std::vector<CCallRecord>& Records() const { return m_records; }
    // The records of one member (case-insensitive), oldest first.
    std::vector<CCallRecord> Of(const std::wstring& kind, const std::wstring& member) const;
    size_t Count(const std::wstring& kind, const std::wstring& member) const;
    // One line a record, for a failing test's message.
    std::wstring Dump() const;

    // Every object of the kind fails the member with hr, for the next times
    // calls (-1: until cleared). An injected failure is answered as it
    // stands, so a test picks exactly what Outlook would have said.
    void Inject(const std::wstring& kind, const std::wstring& member, HRESULT hr, int times = -1);
    void ClearInjections() { m_injections.clear(); }
    // The failure due for this call, counting it down; S_OK when none (and
    // always while quiet).
    HRESULT TakeInjected(const std::wstring& kind, const std::wstring& member);

private:
    struct Injection {
        std::wstring kind;
        std::wstring member;
        HRESULT hr;
        int times;
    };
    std::vector<CCallRecord> m_records;
    std::vector<Injection> m_injections;
    int m_quiet = 0;
};

CCallLog& CallLog();

// Case-insensitive comparison of member and kind names, as Office matches them.
bool SameName(const std::wstring& a, const std::wstring& b);

} // namespace standin
