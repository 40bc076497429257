#include "addin/receipts/TaskSteps.h"

#include "shared/log/DebugLog.h"

HRESULT RunTaskSteps(std::initializer_list<CTaskStep> steps, const char* where)
{
    HRESULT answer = S_OK;
    for (const CTaskStep& step : steps) {
        if (!step.when)
            continue;
        if (step.comment)
            TheLog().Comment(step.comment);
        const HRESULT hr = step.run();
        if (FAILED(hr)) {
            TheLog().HResult(where, hr);
            if (step.stops)
                return hr;
        }
        if (step.answers)
            answer = hr;
        if (step.doneComment)
            TheLog().Comment(step.doneComment);
    }
    return answer;
}
