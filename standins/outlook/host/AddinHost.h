// CAddinHost: loads COM add-ins the way Outlook (or Word) does. The add-ins
// are the ProgIDs under Software\Microsoft\Office\Outlook\Addins (Word's:
// ...\Word\Addins) of the current user and of the machine whose
// LoadBehavior is 3 (load at start-up). Each is created in process on this
// single-threaded apartment and connected with OnConnection; a ribbon host
// (version 12 and later) is asked for its markup; then every add-in gets
// OnAddInsUpdate and OnStartupComplete. At the end: OnBeginShutdown and
// OnDisconnection, in the same order.
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
};

// The value of attribute on the element whose id is controlId; empty when
// there is none.
std::wstring RibbonAttribute(const std::wstring& markup, const std::wstring& controlId,
                             const std::wstring& attribute);

} // namespace host
