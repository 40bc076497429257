// Uploads documents of 1, 20 and 200 MB to the stand-in service (and 5 MB
// stepped through a hidden window, as the dialogs run it) and prints the
// throughput and how far the process's memory rose above where it stood.
// Run under Wine from the repository: see bench/README.md.
#include <cstdio>
#include <memory>
#include <string>

#include <windows.h>
#include <psapi.h>
#include <shlwapi.h>

#include "shared/config/Config.h"
#include "shared/service/Protocol.h"
#include "shared/service/ServiceGlobals.h"
#include "tests/support/SoapCallOp.h"
#include "tests/support/StandInService.h"
#include "tests/support/StepRunner.h"
#include "tests/support/UploadOp.h"

namespace {

constexpr const char* kAddress = "127.0.0.6";
constexpr double kMegabyte = 1024.0 * 1024.0;

struct Memory {
    double workingSet;
    double peak;
};

Memory ReadMemory()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return {counters.WorkingSetSize / kMegabyte, counters.PeakWorkingSetSize / kMegabyte};
}

// A document of pseudo-random bytes, written in pieces.
bool MakeDocument(const std::string& path, size_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string block(1 << 20, '\0');
    unsigned state = 12345;
    for (size_t left = size; left > 0;) {
        for (char& byte : block) {
            state = state * 1103515245u + 12345u;
            byte = static_cast<char>(state >> 24);
        }
        const DWORD piece = static_cast<DWORD>(left < block.size() ? left : block.size());
        DWORD written = 0;
        WriteFile(file, block.data(), piece, &written, nullptr);
        left -= piece;
    }
    CloseHandle(file);
    return true;
}

} // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "quillet-bench\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());

    CStandInService service(kAddress);
    if (!service.Start()) {
        std::printf("the stand-in service did not start: %s\n", service.LastError().c_str());
        return 1;
    }
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quillet");
    CConfig config;
    config.SetKey("Host", kAddress);
    config.SetKey("SSL", DWORD{0});
    CString url;
    CProtocol protocol;
    ServiceGlobals().protocol = &protocol;
    if (FAILED(config.GetServiceUrl(url, "services/gateway.asmx")) ||
        FAILED(protocol.Connect(url))) {
        std::printf("cannot connect to %s\n", url.GetString());
        return 1;
    }

    SoapCallOp create(url, "CreateSignatureRequest",
                      SoapCallOp::CreateRequestElements("signer@example.com", "Benchmark"));
    if (!create.Run(nullptr, 0, CWebSvrOp::kPrepare)) {
        std::printf("cannot create a request: %s\n", create.GetErrorText().GetString());
        return 1;
    }
    const std::string fileId = create.m_result.str();

    struct Run {
        size_t megabytes;
        bool stepped;
    };
    const Run runs[] = {{1, false}, {20, false}, {5, true}, {200, false}};
    const Memory baseline = ReadMemory();
    std::printf("baseline working set %.1f MB\n", baseline.workingSet);
    std::printf("%-8s %-9s %10s %12s %22s\n", "size", "mode", "seconds", "MB/s",
                "peak above baseline");
    bool flat = true;
    for (const Run& run : runs) {
        const std::string path = folder + "document.bin";
        if (!MakeDocument(path, run.megabytes << 20)) {
            std::printf("cannot write the document\n");
            return 1;
        }
        UploadOp upload(url, fileId, path);
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        int result = 0;
        if (run.stepped)
            result = RunStepped(upload, 120000).result;
        else
            result = upload.Run(nullptr, 0, CWebSvrOp::kPrepare);
        QueryPerformanceCounter(&end);
        const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        const Memory after = ReadMemory();
        const double rise = after.peak - baseline.workingSet;
        flat = flat && rise <= 32.0;
        std::printf("%4zu MB  %-9s %10.2f %12.1f %19.1f MB%s\n", run.megabytes,
                    run.stepped ? "stepped" : "whole", seconds, run.megabytes / seconds, rise,
                    result ? "" : "  (upload FAILED)");
        DeleteFileA(path.c_str());
        if (!result)
            flat = false;
    }
    protocol.Disconnect();
    ServiceGlobals().protocol = nullptr;
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quillet");
    RemoveDirectoryA(folder.c_str());
    std::printf(flat ? "memory stayed flat (within 32 MB)\n" : "memory did NOT stay flat\n");
    CoUninitialize();
    return flat ? 0 : 1;
}
