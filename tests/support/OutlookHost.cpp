#include "tests/support/OutlookHost.h"

#include "tests/support/TestEnv.h"
#include "tests/support/TestText.h"

namespace outlookhost {

namespace {

std::string AddinsKey(const std::string& program)
{
    return "Software\\Microsoft\\Office\\" + program + "\\Addins";
}

void WriteValue(HKEY root, const std::string& path, const char* name, DWORD type, const void* data,
                DWORD size)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void WriteClassText(const std::string& path, const char* name, const std::string& text)
{
    WriteValue(HKEY_CLASSES_ROOT, path, name, REG_SZ, text.c_str(),
               static_cast<DWORD>(text.size() + 1));
}

} // namespace

CRegisteredAddin::CRegisteredAddin(const std::string& clsid,
                                   const std::vector<std::string>& progIds,
                                   const std::string& libraryPath)
    : m_clsid(clsid), m_progIds(progIds)
{
    const std::string server = "CLSID\\" + clsid + "\\InprocServer32";
    WriteClassText(server, nullptr, libraryPath);
    WriteClassText(server, "ThreadingModel", "Apartment");
    for (const std::string& progId : progIds)
        WriteClassText(progId + "\\CLSID", nullptr, clsid);
}

CRegisteredAddin::~CRegisteredAddin()
{
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + m_clsid).c_str());
    for (const std::string& progId : m_progIds)
        RegDeleteTreeA(HKEY_CLASSES_ROOT, progId.c_str());
    ForgetStartup();
}

void CRegisteredAddin::SetOutlookVersion(const std::string& curVer)
{
    WriteClassText("Outlook.Application\\CurVer", nullptr, curVer);
}

void CRegisteredAddin::LoadAtStartup(const std::string& progId, DWORD loadBehavior, bool machine,
                                     const std::string& program)
{
    WriteValue(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, AddinsKey(program) + "\\" + progId,
               "LoadBehavior", REG_DWORD, &loadBehavior, sizeof loadBehavior);
}

void CRegisteredAddin::ForgetStartup()
{
    for (const char* program : {"Outlook", "Word"}) {
        RegDeleteTreeA(HKEY_CURRENT_USER, AddinsKey(program).c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, AddinsKey(program).c_str());
    }
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "Outlook.Application");
}

bool CRun::Has(const std::string& line) const
{
    for (const auto& l : report)
        if (l == line)
            return true;
    return false;
}

bool CRun::HasPrefix(const std::string& prefix) const
{
    for (const auto& l : report)
        if (l.rfind(prefix, 0) == 0)
            return true;
    return false;
}

std::string CRun::Text() const
{
    std::string all;
    for (const auto& l : report)
        all += l + "\n";
    return all;
}

CRun Run(const std::string& folder, const std::string& script, const std::string& mailbox,
         const std::string& host, const std::string& options)
{
    using namespace testenv;
    const std::string scriptPath = folder + "script.txt";
    const std::string reportPath = folder + "report.txt";
    const std::string callsPath = folder + "calls.txt";
    const std::string savedPath = folder + "out.mbx";
    // A run that writes nothing must not be judged on the last one's files.
    for (const std::string& output : {reportPath, callsPath, savedPath})
        DeleteFileA(output.c_str());
    WriteFileBytes(scriptPath, script);
    std::string command = "\"" + ProgramFolder() + "outlookhost.exe\" --save \"" + savedPath +
                          "\" --calls \"" + callsPath + "\" --report \"" + reportPath + "\"";
    if (!mailbox.empty())
        command += " --mailbox \"" + mailbox + "\"";
    if (!host.empty())
        command += " --host " + host;
    if (!options.empty())
        command += " " + options;
    CRun run;
    run.exitCode = RunProcess(command + " \"" + scriptPath + "\"");
    const std::string text = FileExists(reportPath) ? ReadFileBytes(reportPath) : std::string();
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        run.report.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    if (FileExists(callsPath))
        run.calls = ReadFileBytes(callsPath);
    run.mailbox = Widen(savedPath);
    return run;
}

} // namespace outlookhost
