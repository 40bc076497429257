// The one catch barrier of the system's edges: every COM method that runs
// code which can fail by exception, every window, dialog and timer
// procedure, every DLL export. No exception crosses an edge: the barrier
// runs the edge's body and turns whatever it throws into the edge's answer,
//   a thrown HRESULT (ThrowHResult, THROW_IF_FAILED)  its HRESULT
//   std::bad_alloc                                     E_OUTOFMEMORY
//   anything else                                      E_UNEXPECTED
// and reports it with the edge's "Class::Method", file and line (and, for a
// thrown HRESULT, the expression that failed and where).
//
//     return CatchAtEdge("CSink::Invoke", [&] { return Handle(params); });
//     handled = CatchAtEdge("CDialog::DialogProc", false, [&] { return Route(...); });
//
// The first form is for a body that returns an HRESULT: the edge answers the
// failure's HRESULT. The second is for edges whose answer on failure is
// fixed (a procedure's "not handled", a SAX callback's S_OK): the body's
// value, or onFailure.
//
// The class library cannot reach the deliverables' diagnostic log, so the
// log installs a reporter (SetBarrierReporter); without one a failure goes
// to the debugger's output, and the barrier is just as safe.
#pragma once

#include <source_location>

#include <windows.h>

#include "classlib/com/HResult.h"

// A failure a barrier caught.
struct CCaughtFailure {
    const char* where; // the edge: "Class::Method"
    HRESULT hr;        // what the edge answers for it
    const char* what;  // the failed expression of a thrown HRESULT, or the kind
    const char* file;  // the edge's source file (its name alone) and line
    unsigned line;
    const char* thrownFile; // where a thrown HRESULT was raised; null if not known
    unsigned thrownLine;
};

// Receives every caught failure. Called on the thread that failed, inside
// the barrier: what it throws is swallowed.
using CBarrierReporter = void (*)(const CCaughtFailure& failure);

// Installs reporter (null: none); returns the reporter it replaces.
CBarrierReporter SetBarrierReporter(CBarrierReporter reporter) noexcept;

namespace barrier_detail {

// Called inside a catch block only: names the exception in flight, reports
// it and returns the HRESULT it stands for.
HRESULT Caught(const char* where, const std::source_location& edge) noexcept;

} // namespace barrier_detail

template <class Body>
[[nodiscard]] HRESULT
CatchAtEdge(const char* where, Body&& body,
            std::source_location edge = std::source_location::current()) noexcept
{
    try {
        return body();
    } catch (...) {
        return barrier_detail::Caught(where, edge);
    }
}

template <class T, class Body>
[[nodiscard]] T CatchAtEdge(const char* where, T onFailure, Body&& body,
                            std::source_location edge = std::source_location::current()) noexcept
{
    try {
        return body();
    } catch (...) {
        barrier_detail::Caught(where, edge);
        return onFailure;
    }
}
