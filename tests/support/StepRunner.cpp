#include "tests/support/StepRunner.h"

#include <string>

#include <windows.h>

#include "shared/service/WebSvrOp.h"

namespace {

constexpr UINT kStageMessage = WM_USER + 100;

struct Stepper {
    CWebSvrOp* op;
    SteppedRun* run;
    bool finished = false;
};

LRESULT CALLBACK StepProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* stepper = reinterpret_cast<Stepper*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == kStageMessage && stepper && !stepper->finished) {
        const int stage = static_cast<int>(wParam);
        stepper->run->stages.push_back(stage);
        stepper->run->sent.push_back(stepper->op->GetBytesSent());
        stepper->run->result = stepper->op->Run(window, kStageMessage, stage);
        if (!stepper->run->result || stage == CWebSvrOp::kDone)
            stepper->finished = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

SteppedRun RunStepped(CWebSvrOp& op, unsigned timeoutMs)
{
    static ATOM windowClass = [] {
        WNDCLASSA description{};
        description.lpfnWndProc = StepProc;
        description.hInstance = GetModuleHandleA(nullptr);
        description.lpszClassName = "QuilletTestStepper";
        return RegisterClassA(&description);
    }();
    (void)windowClass;

    SteppedRun run;
    Stepper stepper{&op, &run};
    HWND window = CreateWindowA("QuilletTestStepper", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&stepper));
    PostMessageA(window, kStageMessage, CWebSvrOp::kPrepare, 0);

    DWORD last = GetTickCount();
    while (!stepper.finished) {
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
            last = GetTickCount();
            continue;
        }
        if (GetTickCount() - last > timeoutMs) {
            run.timedOut = true;
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    DestroyWindow(window);
    op.CloseRequest();
    return run;
}

std::string UploadProgressFault(const SteppedRun& run, unsigned long total)
{
    unsigned long last = 0;
    bool seen = false;
    for (size_t i = 0; i < run.stages.size() && i < run.sent.size(); ++i) {
        if (run.stages[i] != CWebSvrOp::kSend)
            continue;
        const unsigned long sent = run.sent[i];
        if (sent < last)
            return "the progress went back from " + std::to_string(last) + " to " +
                   std::to_string(sent);
        if (sent > total)
            return "the progress showed " + std::to_string(sent) + " of " + std::to_string(total) +
                   " bytes";
        last = sent;
        seen = true;
    }
    if (!seen)
        return "no message of the send stage";
    if (last != total)
        return "the send stage ended showing " + std::to_string(last) + " of " +
               std::to_string(total) + " bytes";
    return {};
}
