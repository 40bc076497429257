#include "standins/outlook/host/CallFilter.h"

#include <new>
#include <string>

#include "classlib/com/CComObject.h"
#include "standins/outlook/host/Report.h"

namespace host {

namespace {

// Outlook's user-interface thread is the host's only one.
size_t g_refused = 0;

struct DialogSearch {
    HWND found = nullptr;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM data)
{
    wchar_t name[16] = {};
    if (!IsWindowVisible(window) || GetClassNameW(window, name, 16) == 0 ||
        lstrcmpW(name, L"#32770") != 0)
        return TRUE;
    reinterpret_cast<DialogSearch*>(data)->found = window;
    return FALSE;
}

// A dialog of the host's thread that is up: a property sheet, a message box
// or a dialog box, all of the dialog class. Outlook's own windows
// (explorers, inspectors) are of a class of their own.
HWND DialogUp()
{
    DialogSearch search;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring Caption(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

class CBusyFilter final : public CComObjectT<ComLifetime::Unlocked, IMessageFilter> {
public:
    explicit CBusyFilter(CReport& report) : m_report(report) {}

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK, DWORD,
                                               LPINTERFACEINFO call) override
    {
        // A call nested in one of the host's own, or one of COM's, is served.
        const bool topLevel =
            callType == CALLTYPE_TOPLEVEL || callType == CALLTYPE_TOPLEVEL_CALLPENDING;
        if (!topLevel || !call || call->iid != IID_IDispatch)
            return SERVERCALL_ISHANDLED;
        const HWND dialog = DialogUp();
        if (!dialog)
            return SERVERCALL_ISHANDLED;
        ++g_refused;
        m_report.Line(L"refused a call of another program: \"" + Caption(dialog) + L"\" is up");
        return SERVERCALL_REJECTED;
    }

    // The host calls no other program; were it refused, it would not wait.
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override
    {
        return static_cast<DWORD>(-1);
    }

    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override
    {
        return PENDINGMSG_WAITDEFPROCESS;
    }

private:
    CReport& m_report;
};

} // namespace

CCallFilter::CCallFilter(CReport& report)
{
    // Objects start with no reference: the holder takes the first.
    m_filter = CComPtr<IMessageFilter>(new (std::nothrow) CBusyFilter(report));
    if (!m_filter)
        return;
    const HRESULT hr = CoRegisterMessageFilter(m_filter.Get(), m_previous.Put());
    m_registered = SUCCEEDED(hr);
    if (!m_registered)
        report.Error(L"cannot register the message filter");
}

CCallFilter::~CCallFilter()
{
    if (!m_registered)
        return;
    CComPtr<IMessageFilter> ours;
    CoRegisterMessageFilter(m_previous.Get(), ours.Put());
}

size_t CCallFilter::Refused()
{
    return g_refused;
}

} // namespace host
