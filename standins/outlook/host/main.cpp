// outlookhost: Outlook's stand-in as a program. It loads a mailbox, opens
// the main window on the Inbox, loads the registered COM add-ins as Outlook
// does, plays a script of user actions against them, shuts them down and
// writes what happened:
//
//   outlookhost [--host outlook|word] [--mailbox FILE] [--save FILE] [--calls FILE]
//               [--report FILE] [--timings] [--shots DIR] SCRIPT
//   outlookhost [options as above] -Embedding
//
// --host word loads the add-ins Word loads and gives them Word's
// application, as Word does when it edits Outlook's mail;
// --mailbox loads the mailbox to start from; --save writes the mailbox as
// the add-ins left it; --calls writes every object-model call the add-ins
// made, one a line; --report writes the host's own account (add-ins
// connected, ribbons, dialogs, message boxes, what the scripted user did,
// errors); --timings adds each add-in's time over its start-up and shutdown
// calls to the report, for the start-up benchmark (bench/bench_startup);
// --shots is the folder the script's "shot" lines save pictures of dialogs
// in (on a real display). While it runs, other programs reach its
// application as "Outlook.Application" (the running object table); started
// by COM as a local server ("-Embedding", no script) it serves them until
// one has shown a mail (host/ComActivation.h). The exit code is 0
// when everything went as scripted, 1 when the script or an add-in failed,
// 2 for bad arguments.
#include <string>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/ConnectionPoint.h"
#include "standins/outlook/host/AddinHost.h"
#include "standins/outlook/host/CallFilter.h"
#include "standins/outlook/host/ComActivation.h"
#include "standins/outlook/host/Report.h"
#include "standins/outlook/host/Script.h"
#include "standins/outlook/model/Application.h"

namespace {

struct Options {
    std::wstring mailbox;
    std::wstring save;
    std::wstring calls;
    std::wstring report;
    std::wstring shots;
    std::wstring script;
    host::CAddinHost::Host host = host::CAddinHost::Host::Outlook;
    bool timings = false;
    bool embedding = false;  // started by COM as a local server
    bool noExplorer = false; // started without a window, as by another program
};

bool ParseArguments(Options& options)
{
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args)
        return false;
    bool ok = true;
    for (int i = 1; i < count && ok; ++i) {
        const std::wstring arg = args[i];
        std::wstring* target = arg == L"--mailbox"  ? &options.mailbox
                               : arg == L"--save"   ? &options.save
                               : arg == L"--calls"  ? &options.calls
                               : arg == L"--report" ? &options.report
                               : arg == L"--shots"  ? &options.shots
                                                    : nullptr;
        if (host::CComActivation::IsEmbedding(arg)) {
            options.embedding = true;
        } else if (arg == L"--timings") {
            options.timings = true;
        } else if (arg == L"--no-explorer") {
            options.noExplorer = true;
        } else if (arg == L"--host") {
            const std::wstring name = i + 1 < count ? args[++i] : L"";
            ok = name == L"outlook" || name == L"word";
            if (name == L"word")
                options.host = host::CAddinHost::Host::Word;
        } else if (target) {
            if (i + 1 >= count)
                ok = false;
            else
                *target = args[++i];
        } else if (options.script.empty() && arg.rfind(L"--", 0) != 0) {
            options.script = arg;
        } else {
            ok = false;
        }
    }
    LocalFree(args);
    return ok && (options.embedding || !options.script.empty());
}

bool WriteCalls(const std::wstring& path)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file)
        return false;
    const std::string text = host::ToUtf8(standin::CallLog().Dump());
    const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}

int Run(const Options& options)
{
    host::CReport report;
    if (!options.report.empty() && !report.Open(options.report)) {
        fwprintf(stderr, L"cannot write %ls\n", options.report.c_str());
        return 2;
    }
    host::CScript script;
    std::wstring error;
    if (!options.embedding && !script.Load(options.script, error)) {
        report.Error(error);
        return 1;
    }

    const int version = host::CAddinHost::OutlookVersion();
    CComPtr<standin::CApplication> application =
        standin::New<standin::CApplication>(std::to_wstring(version) + L".0.0.0");
    if (!options.mailbox.empty() && !application->Mailbox().Load(options.mailbox, &error)) {
        report.Error(L"mailbox " + error);
        return 1;
    }
    // Outlook started by another program through COM shows no window
    // until one is asked for.
    if (!options.embedding && !options.noExplorer)
        application->OpenExplorer();

    bool played = false;
    {
        // Busy as Outlook is while one of its dialogs runs.
        host::CCallFilter callFilter(report);
        host::CComActivation activation(*application, report);
        host::CAddinHost addins(*application, report, options.host);
        addins.ReportTimings(options.timings);
        addins.StartUp();
        if (activation.Register(options.embedding))
            played = options.embedding ? host::ServeOtherPrograms(*application, report, 60000)
                                       : script.Run(*application, addins, report, options.shots);
        addins.ShutDown();
    }
    // Whatever an add-in still has advised anywhere, bars it deleted included.
    report.Line(L"connections left " +
                std::to_wstring(standin::CConnectionPoint::AdvisedEverywhere()));
    application->Quit();

    if (!options.save.empty() && !application->Mailbox().Save(options.save, &error))
        report.Error(L"mailbox " + error);
    if (!options.calls.empty() && !WriteCalls(options.calls))
        report.Error(L"cannot write " + options.calls);
    return played && !report.HadError() ? 0 : 1;
}

} // namespace

int main()
{
    Options options;
    if (!ParseArguments(options)) {
        fputs("usage: outlookhost [--host outlook|word] [--mailbox FILE] [--save FILE] "
              "[--calls FILE] [--report FILE] [--timings] [--shots DIR] [--no-explorer] "
              "SCRIPT\n",
              stderr);
        return 2;
    }
    // Outlook's user-interface thread: add-ins live in its apartment.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    const int result = Run(options);
    CoUninitialize();
    return result;
}
