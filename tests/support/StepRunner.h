// Runs an operation one stage per posted message through a hidden window of
// this thread, the way the dialogs do (without their timer), and records
// the stages it went through.
#pragma once

#include <vector>

class CWebSvrOp;

struct SteppedRun {
    int result = 0;          // the last stage's result
    std::vector<int> stages; // every stage run, in order (repeats included)
    bool timedOut = false;   // no message came for a while
};

SteppedRun RunStepped(CWebSvrOp& op, unsigned timeoutMs = 20000);
