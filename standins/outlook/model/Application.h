// CApplication: the root of the Outlook stand-in. It owns the mailbox, the
// MAPI namespace, the explorers and the inspectors, and raises Outlook's
// application events. The C++ members are what a test or the host program
// does as the user (open an explorer, open an item, show the Options
// dialog); the IDispatch members are what an add-in sees.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "standins/outlook/core/AutoObject.h"
#include "standins/outlook/model/Mailbox.h"

namespace standin {

class CNameSpace;
class CExplorer;
class CExplorers;
class CInspector;
class CInspectors;
class CPropertyPages;
class CCommandBars;
class CWordApplication;

class CApplication final : public CAutoObject {
public:
    // version: the text Version reports, "12.0.0.6423" for instance.
    explicit CApplication(const std::wstring& version = L"12.0.0.6423");

    CMailbox& Mailbox() { return *m_mailbox; }
    CNameSpace& NameSpace() { return *m_namespace; }
    CInspectors& Inspectors() { return *m_inspectors; }

    // A main window, showing a folder (the Inbox when none is given);
    // NewExplorer goes out for it.
    CExplorer& OpenExplorer(CFolder* folder = nullptr);
    CExplorers& Explorers() { return *m_explorers; }
    CExplorer* ActiveExplorer() const;
    // Opens an item in an inspector, as a double click does; NewInspector
    // is raised before the inspector shows.
    CInspector& OpenInspector(CItem& item);
    // Whether the inspectors opened from now on edit in Word. Word's
    // inspectors share Word's command bars, as the windows of one Word do.
    void SetWordMail(bool wordMail) { m_wordMail = wordMail; }
    bool WordMail() const { return m_wordMail; }
    // The Word that edits the mail, made on first use: its command bars are
    // the ones Word mail inspectors show.
    CWordApplication& Word();
    CCommandBars& WordCommandBars();
    CInspector* ActiveInspector() const;
    void Activate(CInspector& inspector);
    // A closed inspector leaves the list; Close events are the item's.
    void Forget(CInspector& inspector);

    // The user opens Tools | Options: OptionsPagesAdd with a fresh pages
    // collection, which is handed back to see what the add-ins added.
    CComPtr<CPropertyPages> ShowOptions();

    // Ends the session: the objects an add-in still holds answer E_FAIL
    // from then on instead of reaching a gone application.
    void Quit();
    bool HasQuit() const { return m_quit; }

private:
    ~CApplication() override;

    std::unique_ptr<CMailbox> m_mailbox;
    CComPtr<CNameSpace> m_namespace;
    CComPtr<CInspectors> m_inspectors;
    CComPtr<CExplorers> m_explorers;
    CComPtr<CWordApplication> m_word; // made with the first Word inspector
    std::wstring m_version;
    bool m_wordMail = false;
    bool m_quit = false;
};

} // namespace standin
