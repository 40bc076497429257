// CNoModalScope: Outlook inside one of its events where it cannot be held
// by a dialog. Real Outlook re-enters its own code when an add-in runs a
// modal loop inside ItemAdd (which fires during Send/Receive) or
// SelectionChange: selections stick, "operation cannot be performed",
// crashes. The stand-in refuses such a dialog (it is never created, as if
// Outlook had failed under it) and remembers it, so a script that brings
// one up fails.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace standin {

class CNoModalScope {
public:
    explicit CNoModalScope(const wchar_t* event);
    CNoModalScope(const CNoModalScope&) = delete;
    CNoModalScope& operator=(const CNoModalScope&) = delete;
    ~CNoModalScope();

    // What Outlook refused inside its events and callbacks since the last
    // call: a dialog in one of these scopes, or whatever Note was told.
    static std::vector<std::wstring> TakeRefusals();
    // Something else Outlook refused inside a callback.
    static void Note(const std::wstring& refusal);

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);

    const wchar_t* m_outer; // the event this one is inside of, if any
    HHOOK m_hook = nullptr;
};

} // namespace standin
