// What tests of COM add-ins need to run them in the Outlook stand-in's host
// program: the registration Outlook and COM look at (the class, its
// ProgIDs, the Addins keys, the Outlook version) and one run of the host on
// a script, with what it reported, the calls the add-ins made and the
// mailbox they left. The host program, outlookhost.exe, is copied beside
// the test program by the test's build.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace outlookhost {

// A COM add-in registered in process for the test's life: the class with
// its library and ProgIDs under HKEY_CLASSES_ROOT (where Wine's COM reads
// them), and the Outlook version HKCR\Outlook.Application\CurVer names. The
// destructor removes all of it, with every Addins key of both roots.
class CRegisteredAddin {
public:
    CRegisteredAddin(const std::string& clsid, const std::vector<std::string>& progIds,
                     const std::string& libraryPath);
    CRegisteredAddin(const CRegisteredAddin&) = delete;
    CRegisteredAddin& operator=(const CRegisteredAddin&) = delete;
    ~CRegisteredAddin();

    // "Outlook.Application.12", say; the host and the add-in read the version from it.
    static void SetOutlookVersion(const std::string& curVer);
    // The Addins key of the user (or of the machine) for progId, of Outlook
    // or of another Office program ("Word").
    static void LoadAtStartup(const std::string& progId, DWORD loadBehavior = 3,
                              bool machine = false, const std::string& program = "Outlook");
    // Removes every Addins key (Outlook's and Word's) and the version, to
    // start a case afresh.
    static void ForgetStartup();

private:
    std::string m_clsid;
    std::vector<std::string> m_progIds;
};

struct CRun {
    int exitCode = -1;
    std::vector<std::string> report; // the host's report, a line each
    std::string calls;               // the add-ins' object-model calls, a line each
    std::wstring mailbox;            // the file the mailbox was saved to

    bool Has(const std::string& line) const;
    bool HasPrefix(const std::string& prefix) const;
    // The report, for a failing test's message.
    std::string Text() const;
};

// Runs the host beside the test program on the script, in folder (which
// gets the script, the report, the calls and the saved mailbox); mailbox,
// when given, is the mailbox file to start from; host, when given, the
// program the host plays ("word"); options, more of the host's options
// ("--no-explorer").
CRun Run(const std::string& folder, const std::string& script, const std::string& mailbox = "",
         const std::string& host = "", const std::string& options = "");

} // namespace outlookhost
