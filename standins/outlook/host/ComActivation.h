// Outlook reachable from other programs the way Outlook is: while the host
// runs, its application is in the running object table under Outlook's
// class (GetActiveObject finds it), and started by COM as a local server
// (CoCreateInstance with CLSCTX_LOCAL_SERVER runs the registered command
// line with "-Embedding") it hands out its application through a class
// object. What other programs prepare there is reported: every mail
// displayed, with its subject, body and attachments.
#pragma once

#include <string>

#include <windows.h>

#include "classlib/com/CComPtr.h"

namespace standin {
class CApplication;
}

namespace host {

class CReport;

// Outlook's own class id, which "Outlook.Application" names.
inline constexpr CLSID kOutlookClsid = {0x0006F03A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class CComActivation {
public:
    CComActivation(standin::CApplication& application, CReport& report);
    CComActivation(const CComActivation&) = delete;
    CComActivation& operator=(const CComActivation&) = delete;
    // Leaves the table and withdraws the class object.
    ~CComActivation();

    // In the running object table; as a local server also the class object.
    // False (reported) when COM refused what a local server needs; a host
    // playing a script goes on outside the table (it says so).
    bool Register(bool localServer);

    // Whether the command line asks for a local server (COM's "-Embedding").
    static bool IsEmbedding(const std::wstring& commandLine);

private:
    standin::CApplication& m_application;
    CReport& m_report;
    DWORD m_tableCookie = 0;
    DWORD m_classCookie = 0;
    CComPtr<IClassFactory> m_factory;
};

// Lets other programs call in until one of them has asked a mail to show
// itself (that call answered, then a moment for what follows it), or until
// timeoutMs passed; a mail shown since the last serve ended counts at once.
// Then reports each mail an inspector shows: "mail "subject" body "body"",
// and "attachment "display name" position N file "name" bytes N" for each
// of its attachments. False (reported) on the timeout.
bool ServeOtherPrograms(standin::CApplication& application, CReport& report, DWORD timeoutMs);

} // namespace host
