// The broadcast benchmark: the real inkProxy.exe (beside the benchmark, as
// beside the add-in) sends broadcasts with a 1 MB document to the stand-in
// service, watched and closed from here as a person would. It prints, as
// `figure NAME VALUE UNIT` lines:
// - broadcast_seconds_per_target: from the agent's start to "Done", per
//   target, for 50 targets;
// - broadcast_of_pacing_floor: that over the floor the 25 ms stage timer
//   sets (six stages for each of a target's four operations);
// - broadcast_seconds_per_target_without_upload: the same for 10 targets
//   with a document of a few bytes, what a target costs apart from its
//   upload;
// - broadcast_agent_peak: the agent's peak working set, and the same for a
//   broadcast of 10 targets, with the growth per target between the two;
// - for a large broadcast (500 targets; `bench_broadcast.exe N` sends N):
//   broadcast_large_first_request, from the agent's start to the service's
//   first CreateSignatureRequest; broadcast_large_longest_gap, the longest
//   the dialog took to answer a message sent to it while it ran;
//   broadcast_large_of_pacing_floor; broadcast_large_agent_peak and the
//   growth per target from the 50 targets' peak.
// Exits non-zero when a run failed, a target took more than 1.5 times the
// floor, the agent grew by more than 64 KB per target, or the large
// broadcast's first request came after 1 s or its dialog kept a message
// waiting for more than 250 ms.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

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
constexpr size_t kLargeTargets = 500;
constexpr double kFirstRequestGoal = 1.0; // seconds
constexpr double kGapGoalMs = 250;
// How often the dialog is asked to answer.
constexpr DWORD kProbeIntervalMs = 5;

struct Run {
    bool ok = false;
    double seconds = 0;
    double peakMb = 0;
    double firstRequestSeconds = 0;
    double longestGapMs = 0;
};

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now;
}

// Sends the dialog a message that does nothing, again and again, and keeps
// the longest it took to be answered: how long the dialog's thread left its
// messages waiting (Windows calls a window that keeps them 5 s "Not
// Responding").
class CResponsiveness {
public:
    explicit CResponsiveness(HWND dialog)
        : m_thread([this, dialog] {
              while (!m_stop) {
                  const LARGE_INTEGER sent = Now();
                  DWORD_PTR answer = 0;
                  if (!SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer) &&
                      !IsWindow(dialog))
                      return;
                  const double ms = Seconds(sent, Now()) * 1000;
                  double longest = m_longestMs.load();
                  while (ms > longest && !m_longestMs.compare_exchange_weak(longest, ms)) {
                  }
                  Sleep(kProbeIntervalMs);
              }
          })
    {}
    ~CResponsiveness() { Stop(); }
    CResponsiveness(const CResponsiveness&) = delete;
    CResponsiveness& operator=(const CResponsiveness&) = delete;

    double Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_longestMs;
    }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_longestMs{0};
    std::thread m_thread;
};

// Resets the service, which from then on keeps of each request and
// document only its length and hash: a large broadcast sends gigabytes.
bool KeepNoBytes(CStandInService& service)
{
    bool kept = false;
    service.Reset();
    service.Control("keep-bytes", R"({"limit": 0})", &kept);
    if (!kept)
        std::printf("the stand-in service keeps every byte\n");
    return kept;
}

bool HasCreateRequest(CStandInService& service)
{
    for (const auto& request : service.Requests()) {
        if (request.soapMethod == "CreateSignatureRequest")
            return true;
    }
    return false;
}

std::string ProgramPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

Run Broadcast(size_t targets, const std::string& document, const char* url,
              CStandInService& service)
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
    const LARGE_INTEGER start = Now();
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        std::printf("inkProxy.exe did not start\n");
        return run;
    }
    CKernelHandle process(started.hProcess);
    CKernelHandle thread(started.hThread);
    CAgentUser user;
    if (!user.WaitForDialog(30000, started.dwProcessId)) {
        std::printf("the agent's dialog did not come\n");
        TerminateProcess(process.Get(), 1);
        return run;
    }
    CResponsiveness responsiveness(user.Dialog());
    // The service is asked until the first request has come (while the
    // service has taken in no more than a few).
    const ULONGLONG asking = GetTickCount64();
    while (!HasCreateRequest(service) && GetTickCount64() - asking < 60000)
        Sleep(2);
    run.firstRequestSeconds = Seconds(start, Now());
    if (!user.WaitForButton({"Done", "Close"}, 1800000)) {
        std::printf("the agent did not finish\n");
        TerminateProcess(process.Get(), 1);
        return run;
    }
    run.seconds = Seconds(start, Now());
    run.longestGapMs = responsiveness.Stop();
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

int main(int argc, char** argv)
{
    const size_t largeTargets =
        argc > 1 ? std::max<size_t>(51, std::strtoul(argv[1], nullptr, 10)) : kLargeTargets;
    CStandInService service(kServiceAddress);
    // The large broadcast alone takes some minutes.
    service.SetLifetime(3600);
    if (BeginBenchmark("quillet-bench-broadcast", service).empty() || !KeepNoBytes(service))
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
    std::printf("a broadcast of 10 targets, then of 50, then of %zu, each with a 1 MB document, "
                "to %s\n",
                largeTargets, kServiceAddress);
    // The same with a document of a few bytes: what a target costs apart
    // from its upload.
    const Run bare = Broadcast(10, "%PDF-1.4 a few bytes", url, service);
    KeepNoBytes(service);
    ClearReceipts();
    const Run small = Broadcast(10, document, url, service);
    KeepNoBytes(service);
    ClearReceipts();
    const Run medium = Broadcast(50, document, url, service);
    KeepNoBytes(service);
    ClearReceipts();
    const Run large = Broadcast(largeTargets, document, url, service);
    KeepNoBytes(service);
    ClearReceipts();
    if (!bare.ok || !small.ok || !medium.ok || !large.ok)
        return 1;

    const double perTarget = medium.seconds / 50;
    const double ofFloor = perTarget / kFloorPerTarget;
    const double growthKb = (medium.peakMb - small.peakMb) * 1024 / 40;
    const double largePerTarget = large.seconds / static_cast<double>(largeTargets);
    const double largeOfFloor = largePerTarget / kFloorPerTarget;
    const double largeGrowthKb =
        (large.peakMb - medium.peakMb) * 1024 / static_cast<double>(largeTargets - 50);
    std::printf("%zu targets in %.1f s, 50 targets in %.1f s, 10 targets in %.1f s; the pacing "
                "floor is %.2f s a target\n",
                largeTargets, large.seconds, medium.seconds, small.seconds, kFloorPerTarget);
    std::printf("figure broadcast_seconds_per_target %.3f s\n", perTarget);
    std::printf("figure broadcast_seconds_per_target_without_upload %.3f s\n", bare.seconds / 10);
    std::printf("figure broadcast_of_pacing_floor %.2f x\n", ofFloor);
    std::printf("figure broadcast_agent_peak %.1f MB\n", medium.peakMb);
    std::printf("figure broadcast_agent_peak_10 %.1f MB\n", small.peakMb);
    std::printf("figure broadcast_agent_growth_per_target %.1f KB\n", growthKb);
    std::printf("figure broadcast_large_targets %zu targets\n", largeTargets);
    std::printf("figure broadcast_large_first_request %.3f s\n", large.firstRequestSeconds);
    std::printf("figure broadcast_large_longest_gap %.0f ms\n", large.longestGapMs);
    std::printf("figure broadcast_large_seconds_per_target %.3f s\n", largePerTarget);
    std::printf("figure broadcast_large_of_pacing_floor %.2f x\n", largeOfFloor);
    std::printf("figure broadcast_large_agent_peak %.1f MB\n", large.peakMb);
    std::printf("figure broadcast_large_growth_per_target %.1f KB\n", largeGrowthKb);
    if (ofFloor > kFloorGoal || largeOfFloor > kFloorGoal) {
        std::printf("a target took more than %.1f times the floor\n", kFloorGoal);
        passed = false;
    }
    if (growthKb > kGrowthLimitKb || largeGrowthKb > kGrowthLimitKb) {
        std::printf("the agent grew by more than %.0f KB a target\n", kGrowthLimitKb);
        passed = false;
    }
    if (large.firstRequestSeconds > kFirstRequestGoal) {
        std::printf("the first request came after %.1f s\n", kFirstRequestGoal);
        passed = false;
    }
    if (large.longestGapMs > kGapGoalMs) {
        std::printf("the dialog kept a message waiting for more than %.0f ms\n", kGapGoalMs);
        passed = false;
    }
    return passed ? 0 : 1;
}
