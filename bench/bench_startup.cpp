// The start-up benchmark: how long QuillOff.dll, registered as regsvr32
// registers it, keeps the Outlook stand-in's host program waiting, beside
// the same host loading an add-in that does nothing. Outlook disables an
// add-in whose start-up takes over a second; ours must stay far under
// 50 ms of its own.
//
// Each run is a host process of its own (outlookhost.exe --timings) with a
// script of no user actions: it creates the add-in, connects it, asks a
// ribbon host for markup, completes the start-up, shuts it down and
// reports the time spent inside the add-in's calls. A ribbon host
// (Outlook 14) and a command-bar host (Outlook 11) are measured, each
// add-in N times (15 unless told: bench_startup.exe N); the table gives
// the medians and the slowest start-up, the add-in's own cost is its median
// less the do-nothing add-in's. Every figure also stands on a line of its
// own ("figure NAME VALUE UNIT"). Exits non-zero when a run failed or the
// add-in's own start-up took 50 ms or more. Run under Wine: see
// bench/README.md.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include "bench/nulladdin/NullAddinIds.h"
#include "classlib/win32/CRegKey.h"
#include "classlib/win32/Handles.h"

namespace {

constexpr const char* kQuillOffProgId = "Quillet.OutlookAddin";
constexpr const char* kCurVerKey = "Outlook.Application\\CurVer";
constexpr const char* kAddinsKey = "Software\\Microsoft\\Office\\Outlook\\Addins";
// What a user waits for is the add-in's start-up with its library's
// loading: that is the headline and its goal. Its own calls alone must in
// any case stay far under what makes Outlook disable an add-in.
constexpr double kWithLoadGoalMs = 20.0;
constexpr double kOwnStartupLimitMs = 50.0;
constexpr int kDefaultRuns = 15;
// A host that has not ended by then is stuck (a dialog nobody answers).
constexpr DWORD kHostTimeoutMs = 60000;

// One run's durations, as the host reports them.
struct Timings {
    double load = 0;
    double startup = 0;
    double shutdown = 0;
};

struct Host {
    const char* name;   // on the figure lines
    const char* what;   // in the table
    const char* curVer; // the Outlook version the host reads
};

const Host kHosts[] = {
    {"ribbon", "ribbon host (14)", "Outlook.Application.14"},
    {"commandbar", "command-bar host (11)", "Outlook.Application.11"},
};

// ---- the registry ----

bool WriteValue(HKEY root, const std::string& path, const char* name, DWORD type, const void* data,
                DWORD size)
{
    CRegKey key;
    return key.Create(root, path.c_str(), nullptr, KEY_WRITE) == ERROR_SUCCESS &&
           key.SetValue(name, type, data, size) == ERROR_SUCCESS;
}

bool WriteText(HKEY root, const std::string& path, const char* name, const std::string& text)
{
    return WriteValue(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

std::optional<std::string> ReadText(HKEY root, const char* path)
{
    char text[512] = {};
    DWORD size = sizeof text - 1;
    if (RegGetValueA(root, path, nullptr, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(text);
}

// The Outlook version the prefix had before the benchmark, put back at
// the end (or removed, when there was none).
class CSavedVersion {
public:
    CSavedVersion() : m_saved(ReadText(HKEY_CLASSES_ROOT, kCurVerKey)) {}
    CSavedVersion(const CSavedVersion&) = delete;
    CSavedVersion& operator=(const CSavedVersion&) = delete;
    ~CSavedVersion()
    {
        if (m_saved)
            WriteText(HKEY_CLASSES_ROOT, kCurVerKey, nullptr, *m_saved);
        else
            RegDeleteTreeA(HKEY_CLASSES_ROOT, "Outlook.Application");
    }

private:
    std::optional<std::string> m_saved;
};

// An add-in registered for the host's start-up, and unregistered again.
class CAddin {
public:
    virtual ~CAddin() = default;
    virtual const char* ProgId() const = 0;
    virtual bool Register(std::string& error) = 0;
    virtual void Unregister() = 0;
};

// QuillOff.dll registers itself, as regsvr32 has it do: its class, its
// ProgID and the Addins key for the Outlook version the prefix names.
class CQuillOff final : public CAddin {
public:
    const char* ProgId() const override { return kQuillOffProgId; }
    bool Register(std::string& error) override
    {
        const HRESULT hr = Call("DllRegisterServer");
        if (FAILED(hr))
            error = "DllRegisterServer of " + std::string(QUILLOFF_DLL_PATH) + " failed " + Hex(hr);
        return SUCCEEDED(hr);
    }
    void Unregister() override { Call("DllUnregisterServer"); }

private:
    static std::string Hex(HRESULT hr)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(hr));
        return text;
    }
    static HRESULT Call(const char* entry)
    {
        HMODULE library = LoadLibraryA(QUILLOFF_DLL_PATH);
        if (!library)
            return HRESULT_FROM_WIN32(GetLastError());
        using Entry = HRESULT(STDAPICALLTYPE*)();
        // Through void*: FARPROC has no arguments, nor has the entry.
        auto call =
            reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, entry)));
        const HRESULT hr = call ? call() : E_NOTIMPL;
        FreeLibrary(library);
        return hr;
    }
};

// The do-nothing add-in has no registration of its own: its keys are
// written here, in the user's Addins key, which every Outlook version
// reads.
class CNull final : public CAddin {
public:
    const char* ProgId() const override { return kNullAddinProgId; }
    bool Register(std::string& error) override
    {
        const std::string server =
            "CLSID\\" + std::string(kNullAddinClsidText) + "\\InprocServer32";
        const DWORD startup = 3;
        const bool ok = WriteText(HKEY_CLASSES_ROOT, server, nullptr, NULLADDIN_DLL_PATH) &&
                        WriteText(HKEY_CLASSES_ROOT, server, "ThreadingModel", "Apartment") &&
                        WriteText(HKEY_CLASSES_ROOT, std::string(kNullAddinProgId) + "\\CLSID",
                                  nullptr, kNullAddinClsidText) &&
                        WriteValue(HKEY_CURRENT_USER, AddinKey(), "LoadBehavior", REG_DWORD,
                                   &startup, sizeof startup);
        if (!ok)
            error = "cannot register the do-nothing add-in";
        return ok;
    }
    void Unregister() override
    {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + std::string(kNullAddinClsidText)).c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kNullAddinProgId);
        RegDeleteTreeA(HKEY_CURRENT_USER, AddinKey().c_str());
    }

private:
    static std::string AddinKey() { return std::string(kAddinsKey) + "\\" + kNullAddinProgId; }
};

// ---- one run of the host ----

bool WriteFile(const std::string& path, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

std::string ReadFile(const std::string& path)
{
    std::string text;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return text;
    char buffer[4096];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, read);
    std::fclose(file);
    return text;
}

// The exit code of the command, or -1 when it did not start or end. What it
// prints goes nowhere: the host echoes its report, which is read from its
// file.
int RunProcess(std::string command)
{
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const CFileHandle nothing(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          &inherited, OPEN_EXISTING, 0, nullptr));
    if (!nothing)
        return -1;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing.Get();
    startup.hStdOutput = nothing.Get();
    startup.hStdError = nothing.Get();
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info))
        return -1;
    const CKernelHandle process(info.hProcess);
    const CKernelHandle thread(info.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.Get(), kHostTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.Get(), &code);
    else
        TerminateProcess(process.Get(), code);
    return static_cast<int>(code);
}

// Runs the host once; the add-in's timings, or why there are none.
std::optional<Timings> RunHost(const std::string& folder, const std::string& progId,
                               std::string& error)
{
    const std::string script = folder + "script.txt";
    const std::string report = folder + "report.txt";
    DeleteFileA(report.c_str());
    const int code = RunProcess("\"" + std::string(OUTLOOKHOST_PATH) + "\" --timings --report \"" +
                                report + "\" \"" + script + "\"");
    const std::string text = ReadFile(report);
    if (code != 0) {
        error = "the host exited with " + std::to_string(code) + ":\n" + text;
        return std::nullopt;
    }
    // "timings P load 1.234 ms startup 2.345 ms shutdown 0.123 ms", once.
    std::optional<Timings> found;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.rfind("timings ", 0) != 0)
            continue;
        char name[256] = {};
        Timings timings;
        if (std::sscanf(line.c_str(), "timings %255s load %lf ms startup %lf ms shutdown %lf ms",
                        name, &timings.load, &timings.startup, &timings.shutdown) != 4) {
            error = "the host's timings cannot be read: " + line;
            return std::nullopt;
        }
        if (progId != name || found) {
            error = "another add-in loads at start-up, " + std::string(name) +
                    ": the figures would not be the add-in's alone";
            return std::nullopt;
        }
        found = timings;
    }
    if (!found)
        error = "the host reported no timings for " + progId + ":\n" + text;
    return found;
}

// ---- the figures ----

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Result {
    Timings median;
    double slowestStartup = 0;
};

// The add-in's runs on one host: registered, run `runs` times, unregistered.
std::optional<Result> Measure(CAddin& addin, const Host& host, const std::string& folder, int runs)
{
    std::string error;
    if (!WriteText(HKEY_CLASSES_ROOT, kCurVerKey, nullptr, host.curVer)) {
        std::printf("  cannot set the Outlook version %s\n", host.curVer);
        return std::nullopt;
    }
    if (!addin.Register(error)) {
        std::printf("  %s\n", error.c_str());
        addin.Unregister();
        return std::nullopt;
    }
    std::vector<double> load, startup, shutdown;
    for (int run = 0; run < runs; ++run) {
        const std::optional<Timings> timings = RunHost(folder, addin.ProgId(), error);
        if (!timings) {
            std::printf("  %s, run %d: %s\n", addin.ProgId(), run + 1, error.c_str());
            addin.Unregister();
            return std::nullopt;
        }
        load.push_back(timings->load);
        startup.push_back(timings->startup);
        shutdown.push_back(timings->shutdown);
    }
    addin.Unregister();
    Result result;
    result.median = {Median(load), Median(startup), Median(shutdown)};
    result.slowestStartup = *std::max_element(startup.begin(), startup.end());
    return result;
}

void PrintRow(const char* what, const Timings& timings, const char* slowest)
{
    std::printf("  %-28s %9.3f %11.3f %9s %12.3f\n", what, timings.load, timings.startup, slowest,
                timings.shutdown);
}

void PrintSlowestRow(const char* what, const Result& result)
{
    char slowest[32];
    std::snprintf(slowest, sizeof slowest, "%.3f", result.slowestStartup);
    PrintRow(what, result.median, slowest);
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : kDefaultRuns;
    if (runs < 1) {
        std::printf("usage: bench_startup [runs]\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "quillet-bench-startup\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    // No user actions: the host starts up, then shuts down.
    if (!WriteFile(folder + "script.txt", "# start-up and shutdown only\n")) {
        std::printf("cannot write in %s\n", folder.c_str());
        return 1;
    }

    std::printf("start-up and shutdown in the Outlook stand-in's host, median of %d runs, in ms\n",
                runs);
    std::printf("(time inside the add-in's calls; startup is OnConnection to the end of "
                "OnStartupComplete)\n\n");
    std::printf("  %-28s %9s %11s %9s %12s\n", "add-in", "load", "startup", "slowest", "shutdown");

    bool ok = true;
    struct Own {
        std::string host;
        double startup = 0;
        double withLoad = 0;
    };
    std::vector<Own> own; // the add-in's own start-up, by host
    std::vector<std::string> figures;
    {
        const CSavedVersion savedVersion;
        CNull null;
        CQuillOff quillOff;
        // A run cut short leaves its add-in registered: each add-in must be
        // the only one the host loads.
        null.Unregister();
        quillOff.Unregister();
        for (const Host& host : kHosts) {
            std::printf("%s\n", host.what);
            const std::optional<Result> baseline = Measure(null, host, folder, runs);
            if (baseline)
                PrintSlowestRow("does nothing", *baseline);
            const std::optional<Result> measured = Measure(quillOff, host, folder, runs);
            if (measured)
                PrintSlowestRow("QuillOff.dll", *measured);
            if (!baseline || !measured) {
                ok = false;
                continue;
            }
            const Timings& b = baseline->median;
            const Timings& m = measured->median;
            const Timings difference{m.load - b.load, m.startup - b.startup,
                                     m.shutdown - b.shutdown};
            PrintRow("QuillOff.dll's own", difference, "");
            own.push_back({host.what, difference.startup, difference.load + difference.startup});

            const std::string name = host.name;
            char line[160];
            auto add = [&](const char* what, double value, const char* unit) {
                std::snprintf(line, sizeof line, "figure %s_%s %.3f %s", what, name.c_str(), value,
                              unit);
                figures.push_back(line);
            };
            add("load_null", b.load, "ms");
            add("startup_null", b.startup, "ms");
            add("shutdown_null", b.shutdown, "ms");
            add("load_quilloff", m.load, "ms");
            add("startup_quilloff", m.startup, "ms");
            add("startup_quilloff_slowest", measured->slowestStartup, "ms");
            add("shutdown_quilloff", m.shutdown, "ms");
            add("startup_own", difference.startup, "ms");
            add("startup_with_load_own", difference.load + difference.startup, "ms");
            add("shutdown_own", difference.shutdown, "ms");
            if (b.startup > 0)
                add("startup_ratio", m.startup / b.startup, "ratio");
        }
    }
    CoUninitialize();

    std::printf("\n");
    for (const std::string& line : figures)
        std::printf("%s\n", line.c_str());
    std::printf("\n");
    for (const Own& cost : own) {
        const bool within = cost.withLoad <= kWithLoadGoalMs && cost.startup < kOwnStartupLimitMs;
        std::printf("%s: QuillOff.dll's start-up with loading its library %.3f ms (its own calls "
                    "%.3f ms), %s the goal of %.0f ms\n",
                    cost.host.c_str(), cost.withLoad, cost.startup, within ? "within" : "OVER",
                    kWithLoadGoalMs);
        ok = ok && within;
    }
    if (!ok)
        std::printf("FAILED\n");
    return ok ? 0 : 1;
}
