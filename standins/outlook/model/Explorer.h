// CExplorer: Outlook's main window showing one folder. Switching folders
// and selecting items are what the user does; the explorer raises
// BeforeFolderSwitch (which a sink may cancel), FolderSwitch,
// SelectionChange and Close as Outlook does. CExplorers, the application's
// collection of them, raises NewExplorer for each window opened.
#pragma once

#include <memory>
#include <vector>

#include "standins/outlook/core/AutoObject.h"
#include "standins/outlook/core/OleWindowPart.h"
#include "standins/outlook/model/OutlookWindow.h"

namespace standin {

class CApplication;
class CCommandBars;
class CFolder;
class CItem;
class CPanes;

class CExplorer final : public CAutoObject {
public:
    CExplorer(CApplication& application, CFolder& folder);

    CFolder& CurrentFolder() const { return *m_folder; }
    // False when a sink cancelled the switch.
    bool SwitchTo(CFolder& folder);
    void Select(const std::vector<CItem*>& items);
    const std::vector<CComPtr<CItem>>& Selected() const { return m_selection; }

    CCommandBars& CommandBars() { return *m_commandBars; }
    CPanes& Panes() { return *m_panes; }
    HWND Window() const { return m_window ? m_window->Handle() : nullptr; }
    std::wstring Caption() const { return m_window ? m_window->Caption() : std::wstring(); }
    bool IsClosed() const { return !m_window; }
    // The user closes the window: the Close event, then the window goes.
    void Close();

    void Detach() { m_application = nullptr; }

    // IOleWindow as well: the window that owns dialogs acting for it.
    void* QueryOther(REFIID iid) override;

private:
    ~CExplorer() override;
    CApplication& Application() const;
    std::wstring CaptionFor(const CFolder& folder) const;

    CApplication* m_application;
    CComPtr<CFolder> m_folder;
    std::vector<CComPtr<CItem>> m_selection;
    CComPtr<CCommandBars> m_commandBars;
    CComPtr<CPanes> m_panes;
    std::unique_ptr<COutlookWindow> m_window;
    COleWindowPart m_oleWindow{static_cast<IDispatch&>(*this), [this] { return Window(); }};
};

class CExplorers final : public CAutoObject {
public:
    explicit CExplorers(CApplication& application);

    // A new explorer on the folder; NewExplorer goes out before it shows.
    CExplorer& Add(CFolder& folder);
    // The first explorer still open, null when none is.
    CExplorer* Active() const;
    const std::vector<CComPtr<CExplorer>>& All() const { return m_explorers; }

    void Detach();

private:
    CApplication& Application() const;
    std::vector<CComPtr<CExplorer>> Open() const;

    CApplication* m_application;
    std::vector<CComPtr<CExplorer>> m_explorers; // closed ones too
};

} // namespace standin
