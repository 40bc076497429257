// The broadcast benchmark: the real inkProxy.exe (beside the benchmark, as
// beside the add-in) sends a broadcast of 50 targets with a 1 MB document to
// the stand-in service, watched and closed from here as a person would. It
// prints, as `figure NAME VALUE UNIT` lines:
// - broadcast_seconds_per_target: from the agent's start to "Done", per
//   target;
// - broadcast_of_pacing_floor: that over the floor the 25 ms stage timer
//   sets (six stages for each of a target's four operations);
// - broadcast_seconds_per_target_without_upload: the same for 10 targets
//   with a document of a few bytes, what a target costs apart from its
//   upload;
// - broadcast_agent_peak: the agent's peak working set, and the same for a
//   broadcast of 10 targets, with the growth per target between the two.
// Exits non-zero when a run failed, a target took more than 1.5 times the
// floor, or the agent grew by more than 64 KB per target.
#include <cstdio>
#include <string>

#include <windows.h>
// After windows.h, which it builds on.
#include <psapi.h>
#include <shlwapi.h>

#include "bench/Setup.h"
#include "classlib/win32/Handles.h"
#include "shared/config/Config.h"
#include "shared/outlook/Launcher.h"
#include "shared/requests/Receipt.h"
#include "standins/agentuser/AgentUser.h"
#include "tests/agent/BroadcastFixture.h"
#include "tests/support/StandInService.h"
#include "tests/support/TestEnv.h"

namespace {

constexpr char kServiceAddress[] = "127.0.1.5";
constexpr int kOperationsPerTarget = 4; // create, upload, link, invitation
constexpr double kStageSeconds = 0.025;
constexpr double kFloorPerTarget = kOperationsPerTarget * 6 * kStageSeconds;
constexpr double kFloorGoal = 1.5;
constexpr double kGrowthLimitKb = 64;

struct Run {
    bool ok = false;
    double seconds = 0;
    double peakMb = 0;
};

std::string ProgramPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

Run Broadcast(size_t targets, const std::string& document, const char* url)
{
    Run run;
    BroadcastShape shape;
    for (size_t i = 1; i <= targets; ++i)
        shape.targets.push_back({"target" + std::to_string(i) + "@example.com",
                                 "Target " + std::to_string(i), "Signer", 1});
    shape.documents = {document};
    CBroadcastWriter writer;
    const std::string path = writer.Write(shape, url);
    if (path.empty()) {
        std::printf("the broadcast could not be written\n");
        return run;
    }
    CString commandLine;
    if (!CLauncher::MakeModuleCommandLine(ProgramPath().c_str(), "inkProxy.exe", path.c_str(),
                                          commandLine))
        return run;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::string line = commandLine.str();
    const ULONGLONG start = GetTickCount64();
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        std::printf("inkProxy.exe did not start\n");
        return run;
    }
    CKernelHandle process(started.hProcess);
    CKernelHandle thread(started.hThread);
    CAgentUser user;
    if (!user.WaitForDialog(30000, started.dwProcessId) ||
        !user.WaitForButton({"Done", "Close"}, 900000)) {
        std::printf("the agent did not finish\n");
        TerminateProcess(process.Get(), 1);
        return run;
    }
    run.seconds = (GetTickCount64() - start) / 1000.0;
    const AgentView view = user.Look();
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process.Get(), &memory, sizeof memory))
        run.peakMb = memory.PeakWorkingSetSize / (1024.0 * 1024.0);
    user.PressButton();
    WaitForSingleObject(process.Get(), 30000);
    run.ok = view.button == "Done";
    if (!run.ok)
        std::printf("the agent ended with %s: %s\n", view.button.c_str(), view.status.c_str());
    return run;
}

void ClearReceipts()
{
    CString folder;
    if (FAILED(GetReceiptsFolder(folder)))
        return;
    const std::string base = folder.str() + "\\";
    for (const std::string& name : testenv::ListFiles(base))
        DeleteFileA((base + name).c_str());
}

} // namespace

int main()
{
    CStandInService service(kServiceAddress);
    if (BeginBenchmark("quillet-bench-broadcast", service).empty())
        return 1;
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quillet");
    CConfig config;
    config.SetKey("Host", kServiceAddress);
    config.SetKey("SSL", DWORD{0});
    CCredentials credentials;
    credentials.m_email = standin::kDefaultEmail;
    credentials.m_accountId = standin::kDefaultApiCode;
    credentials.m_password = "bench";
    config.SetCredentials(credentials);
    CString url;
    if (FAILED(config.GetServiceUrl(url, nullptr))) {
        std::printf("no service URL\n");
        return 1;
    }
    ClearReceipts();

    const std::string document = testenv::RandomBytes(1024 * 1024, 7);
    bool passed = true;
    std::printf("a broadcast of 10 targets, then of 50, each with a 1 MB document, to %s\n",
                kServiceAddress);
    // The same with a document of a few bytes: what a target costs apart
    // from its upload.
    const Run bare = Broadcast(10, "%PDF-1.4 a few bytes", url);
    service.Reset();
    ClearReceipts();
    const Run small = Broadcast(10, document, url);
    service.Reset();
    ClearReceipts();
    const Run large = Broadcast(50, document, url);
    ClearReceipts();
    if (!bare.ok || !small.ok || !large.ok)
        return 1;

    const double perTarget = large.seconds / 50;
    const double ofFloor = perTarget / kFloorPerTarget;
    const double growthKb = (large.peakMb - small.peakMb) * 1024 / 40;
    std::printf("50 targets in %.1f s, 10 targets in %.1f s; the pacing floor is %.2f s a "
                "target\n",
                large.seconds, small.seconds, kFloorPerTarget);
    std::printf("figure broadcast_seconds_per_target %.3f s\n", perTarget);
    std::printf("figure broadcast_seconds_per_target_without_upload %.3f s\n", bare.seconds / 10);
    std::printf("figure broadcast_of_pacing_floor %.2f x\n", ofFloor);
    std::printf("figure broadcast_agent_peak %.1f MB\n", large.peakMb);
    std::printf("figure broadcast_agent_peak_10 %.1f MB\n", small.peakMb);
    std::printf("figure broadcast_agent_growth_per_target %.1f KB\n", growthKb);
    if (ofFloor > kFloorGoal) {
        std::printf("a target took more than %.1f times the floor\n", kFloorGoal);
        passed = false;
    }
    if (growthKb > kGrowthLimitKb) {
        std::printf("the agent grew by more than %.0f KB a target\n", kGrowthLimitKb);
        passed = false;
    }
    return passed ? 0 : 1;
}
