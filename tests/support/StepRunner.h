// Runs an operation one stage per posted message through a hidden window of
// this thread, the way the dialogs do (without their timer), and records
// the stages it went through.
#pragma once

#include <string>
#include <vector>

class CWebSvrOp;

struct SteppedRun {
    int result = 0;          // the last stage's result
    std::vector<int> stages; // every stage run, in order (repeats included)
    // The bytes sent as each stage message came, as a dialog reads them for
    // its progress (one per entry of stages).
    std::vector<unsigned long> sent;
    bool timedOut = false; // no message came for a while
};

SteppedRun RunStepped(CWebSvrOp& op, unsigned timeoutMs = 20000);

// What is wrong with the upload's progress as the send stage's messages
// showed it (empty when nothing): it never goes back, never passes the
// upload's size, and the send stage's last message shows all of it.
std::string UploadProgressFault(const SteppedRun& run, unsigned long total);
