// CWireJob: the part of a stage that waits on the network (connecting,
// sending, waiting for the answer's head, reading the answer), run on a
// thread of its own so that the window that steps the operation keeps
// painting and answering its buttons while the service is slow or silent.
//
// The window hears of the job through the stage message it already knows:
// the job posts the stage it runs (wParam) when it ends, now and then while
// it moves bytes, and as a heartbeat while it waits, never more than one
// message at a time; the window's next Run of the operation either finds
// the job still going (and waits for the next message) or takes up its
// outcome.
//
// The operation can be deleted or give the exchange up at any moment
// (Abandon): from then on nothing is posted, and the job closes the request
// and removes the file it holds as soon as its wait ends. The job never
// touches the operation: what it needs is copied into it or lent to it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include <windows.h>

#include "classlib/inet/CInternetSession.h"
#include "classlib/strings/CString.h"
#include "classlib/win32/Handles.h"
#include "shared/xml/LargeTextScanner.h"

class CWireJob {
public:
    using Work = std::function<void(CWireJob&)>;

    // The heartbeat while the job waits, and the least time between two
    // reports of bytes moved.
    static constexpr DWORD kHeartbeatMs = 250;
    static constexpr DWORD kProgressMs = 20;

    CWireJob() = default;
    CWireJob(const CWireJob&) = delete;
    CWireJob& operator=(const CWireJob&) = delete;
    ~CWireJob();

    // Runs work on a thread of its own, reporting to window (when there is
    // one) with message and stage as wParam. When no thread can be had, the
    // work runs here and its end is posted at once.
    static void Start(const std::shared_ptr<CWireJob>& job, HWND window, UINT message, int stage,
                      Work work);
    // Runs work on the calling thread (a run in one call: nobody watches).
    void RunHere(const Work& work);
    // Waits up to ms for the job's end (started without a window, a run in
    // one call that keeps watch over it meanwhile); true when it has ended.
    bool WaitFinished(DWORD ms);

    // Asked by the window's thread on a report: true when the job has ended
    // (its outcome may be taken), false when it goes on (a further report
    // will come).
    bool TakeReport();
    // For the work: bytes moved; reported when the window has taken the
    // last report and some time has passed since.
    void ReportProgress();
    // The operation gives the job up (see above).
    void Abandon();
    bool Abandoned() const { return m_abandoned.load(); }

    // Lent by the operation for the job's time, and given back with the
    // outcome.
    std::unique_ptr<CHttpFile> request;
    // Owned by the job: the request file being sent or the response file
    // being written, and the path that goes with it, removed when the job
    // is abandoned.
    CFileHandle file;
    CString filePath;
    // The answer when it is kept in memory.
    CString text;
    // The scan the answer's pieces go to as they come, instead of the file
    // (see LargeTextScanner.h); shared with the operation, which reads its
    // outcome once the job has ended.
    std::shared_ptr<CLargeTextScanner> scan;
    // Bytes of the request sent and of the answer received so far; the
    // window reads them for its progress while the job runs.
    std::atomic<ULONGLONG> sent{0};
    std::atomic<ULONGLONG> received{0};
    // Set while the work reads in whole pieces, each of which may wait
    // long: whoever waits for the job then keeps the pace of the answer.
    std::atomic<bool> wholePieces{false};

    // The outcome: a WinINet failure, or a failure of the job's own with
    // its code and text (a wire limit), or success.
    bool threw = false;
    DWORD internetError = 0;
    int result = 1;
    HRESULT code = S_OK;
    CString errorText;
    // When the work began and ended (the ticks of GetTickCount64).
    ULONGLONG startedAt = 0;
    ULONGLONG endedAt = 0;

private:
    static DWORD WINAPI ThreadProc(void* parameter);
    static void CALLBACK Heartbeat(void* parameter, BOOLEAN);
    void Perform(const Work& work);
    void Finish();
    // Posts the report; the lock is held.
    void PostLocked();

    std::mutex m_lock;
    std::condition_variable m_ended;
    HWND m_window = nullptr;
    UINT m_message = 0;
    int m_stage = 0;
    bool m_finished = false;
    bool m_outstanding = false; // a report is on its way to the window
    ULONGLONG m_lastReport = 0;
    std::atomic<bool> m_abandoned{false};
};
