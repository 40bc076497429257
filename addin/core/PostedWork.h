// CPostedWork: work the add-in must not do inside one of Outlook's events
// or callbacks (a modal dialog, closing the window whose callback runs).
// Outlook re-enters its own code there: a dialog inside SelectionChange
// leaves the selection stuck, one inside ItemAdd runs in the middle of a
// Send/Receive, and an item closed inside its own inspector's callback
// answers "operation cannot be performed" or worse. So such work is posted
// to a hidden window of the add-in's and runs once the event has returned
// and Outlook's message loop takes the next message.
//
// Work runs one piece at a time, in the order posted: a piece that shows a
// dialog runs a message loop, and the next piece waits until it is done
// instead of starting inside it.
#pragma once

#include <deque>
#include <functional>

#include <windows.h>

#include "classlib/ui/CMessageWindow.h"

class CPostedWork {
public:
    using Work = std::function<void()>;

    CPostedWork() = default;
    CPostedWork(const CPostedWork&) = delete;
    CPostedWork& operator=(const CPostedWork&) = delete;
    ~CPostedWork();

    // Queues work to run from the add-in's window. E_OUTOFMEMORY, or the
    // failure to make the window or post to it (the work is then dropped:
    // it is never run inside the caller's event instead).
    HRESULT Post(Work work);
    // Drops what has not run yet and destroys the window: at shutdown,
    // nothing of the add-in may run after its objects went.
    void Close();

    size_t Pending() const { return m_queue.size(); }
    // Runs what is queued now, as the window would (for tests that have no
    // message loop of their own).
    void RunPending();

private:
    HRESULT EnsureWindow();
    // The window's message: the next piece, unless one runs already.
    void OnRunWork();
    void RunNext();

    CMessageWindow m_window;
    std::deque<Work> m_queue;
    bool m_running = false;
};

// The add-in's one queue, on Outlook's user-interface thread.
CPostedWork& ThePostedWork();
