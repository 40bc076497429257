// CAddinHost: loads COM add-ins the way Outlook (or Word) does. The add-ins
// are the ProgIDs under Software\Microsoft\Office\Outlook\Addins (Word's:
// ...\Word\Addins) of the current user and of the machine whose
// LoadBehavior is 3 (load at start-up). Each is created in process on this
// single-threaded apartment and connected with OnConnection; a ribbon host
// (version 12 and later) is asked for its markup; then every add-in gets
// OnAddInsUpdate and OnStartupComplete. At the end: OnBeginShutdown and
// OnDisconnection, in the same order.
// On request it reports how long each add-in took over its calls, for the
// start-up benchmark: Outlook disables an add-in that starts up slowly.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "classlib/com/CComPtr.h"
#include "classlib/com/OfficeAddin.h"
#include "standins/outlook/host/Report.h"

namespace standin {
class CApplication;
}

namespace host {

class CAddinHost {
public:
    struct Addin {
        std::wstring progId;
        CComPtr<IDTExtensibility2> object;
        CComPtr<IDTRibbonExtensibility> ribbon;
        std::map<std::wstring, std::wstring> ribbonXml; // by ribbon id
        bool connected = false;
        // Milliseconds spent inside the add-in's calls: creating it (its
        // library loads), OnConnection to the end of OnStartupComplete
        // (markup included), OnBeginShutdown and OnDisconnection.
        double loadMs = 0;
        double startupMs = 0;
        double shutdownMs = 0;
    };

    // Which program the add-ins are loaded into: Outlook, or the Word that
    // edits its mail (the add-ins then get Word's application).
    enum class Host { Outlook, Word };

    // The ribbon ids Outlook asks for: its main window and a new mail; and
    // Word's, its document window.
    static constexpr const wchar_t* kExplorerRibbon = L"Microsoft.Outlook.Explorer";
    static constexpr const wchar_t* kComposeRibbon = L"Microsoft.Outlook.Mail.Compose";
    static constexpr const wchar_t* kWordRibbon = L"Microsoft.Word.Document";

    CAddinHost(standin::CApplication& application, CReport& report, Host host = Host::Outlook);
    CAddinHost(const CAddinHost&) = delete;
    CAddinHost& operator=(const CAddinHost&) = delete;
    ~CAddinHost();

    // ProgIDs to load at start-up: the user's first, then the machine's
    // that the user does not also have.
    static std::vector<std::wstring> RegisteredAddins(Host host = Host::Outlook);
    // Outlook's major version from HKCR\Outlook.Application\CurVer
    // ("Outlook.Application.12" gives 12); 11 when it cannot be read.
    static int OutlookVersion();

    // With timings on, shutdown reports each add-in's durations after its
    // "disconnected" line: "timings P load 1.234 ms startup 2.345 ms
    // shutdown 0.123 ms".
    void ReportTimings(bool on) { m_timings = on; }
    void StartUp();
    void ShutDown();
    const std::vector<Addin>& Addins() const { return m_addins; }

    // Runs the ribbon callback that the attribute (onAction, getImage) of
    // the control names, on the first add-in whose markup has the control.
    // The control's context is the window it sits in.
    HRESULT RibbonCallback(const std::wstring& controlId, const std::wstring& attribute,
                           IDispatch* context, VARIANT* result);

private:
    void Load(const std::wstring& progId);
    // What the add-ins get as Application.
    IDispatch* HostApplication() const;

    standin::CApplication& m_application;
    CReport& m_report;
    Host m_host;
    std::vector<Addin> m_addins;
    int m_version;
    bool m_timings = false;
};

// The value of attribute on the element whose id is controlId; empty when
// there is none.
std::wstring RibbonAttribute(const std::wstring& markup, const std::wstring& controlId,
                             const std::wstring& attribute);

} // namespace host
