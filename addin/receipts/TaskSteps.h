// The receipt task is made by one routine over a table of steps, one table
// per road: after an interactive send (CReceipt::GenerateTaskReceipt) and
// from an imported receipt file (CQuilletReceipt::GenerateTaskReceipt). The
// roads differ in their rows and in one column: whether a step's failure
// ends the task. After a send the task is the user's only record of the
// request, so every step that can still run does; an import keeps the file
// for the next import instead, so a failure there leaves no task at all.
#pragma once

#include <functional>
#include <initializer_list>

#include <windows.h>

struct CTaskStep {
    // Logged before the step runs. The texts are kept as they have always
    // been: support compares the logs of installations by them.
    const char* comment = nullptr;
    std::function<HRESULT()> run;
    // Whether a failure ends the task (its answer) or is noted and the next
    // step runs.
    bool stops = false;
    // This step's result is the task's answer when nothing stopped it (the
    // Save).
    bool answers = false;
    // Logged after the step unless its failure stopped the task.
    const char* doneComment = nullptr;
    // A step whose condition is false is left out, its comments too.
    bool when = true;
};

// Runs the steps in order; every failure is logged under where. The
// failure of a stopping step, else the answering step's result, else S_OK.
HRESULT RunTaskSteps(std::initializer_list<CTaskStep> steps, const char* where);
