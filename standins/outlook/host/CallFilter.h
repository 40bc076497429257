// Outlook busy. While one of its modal dialogs runs (Tools, Options, a
// message box, an add-in's dialog), Outlook turns other programs' calls into
// its object model away through its message filter: they see
// RPC_E_CALL_REJECTED, or try again if their own message filter asks COM
// to. The host does the same on its thread's apartment: a call of another
// program through IDispatch that arrives while a dialog of the host's
// thread is up is rejected, and reported ("refused a call of another
// program: "Options" is up"). COM's own calls (interface queries, reference
// counts) and calls nested inside a call of the host's go through.
//
// It rejects rather than answers "retry later", which Outlook may answer as
// well: Wine's COM takes a "retry later" for an accepted call, while a
// rejection reaches the caller under both.
#pragma once

#include <cstddef>

#include <objbase.h>

#include "classlib/com/CComPtr.h"

namespace host {

class CReport;

class CCallFilter {
public:
    // Registers the filter for the calling thread's apartment (single
    // threaded); a refusal of COM's is reported.
    explicit CCallFilter(CReport& report);
    CCallFilter(const CCallFilter&) = delete;
    CCallFilter& operator=(const CCallFilter&) = delete;
    // Puts back the filter that was there before.
    ~CCallFilter();

    // The calls of other programs refused since the host started.
    static size_t Refused();

private:
    CComPtr<IMessageFilter> m_filter;
    CComPtr<IMessageFilter> m_previous;
    bool m_registered = false;
};

} // namespace host
