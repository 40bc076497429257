// CInspector: the window an item is open in, and CInspectors, the
// application's collection of them, which raises NewInspector. An
// inspector of a mail item may be a Word mail editor (IsWordMail).
#pragma once

#include <memory>
#include <vector>

#include "standins/outlook/core/AutoObject.h"
#include "standins/outlook/core/OleWindowPart.h"
#include "standins/outlook/model/OutlookWindow.h"

namespace standin {

class CApplication;
class CCommandBars;
class CItem;

class CInspector final : public CAutoObject {
public:
    // commandBars: the bars the window shares (Word's), or null for its own.
    CInspector(CApplication& application, CItem& item, CCommandBars* commandBars = nullptr);

    CItem& CurrentItem() const { return *m_item; }
    CCommandBars& CommandBars() { return *m_commandBars; }
    bool IsWordMail() const { return m_wordMail; }
    HWND Window() const { return m_window ? m_window->Handle() : nullptr; }
    std::wstring Caption() const { return m_window ? m_window->Caption() : std::wstring(); }
    bool IsClosed() const { return !m_window; }

    // The user closes the window (mode: 0 save, 1 discard, 2 prompt): the
    // item's Close event (whose sinks may cancel it), then the window goes
    // and the inspector leaves the application's list.
    void Close(long mode = 1);

    void Detach() { m_application = nullptr; }

    // IOleWindow as well: the window that owns dialogs acting for it.
    void* QueryOther(REFIID iid) override;

    // While one of the window's own commands runs (a ribbon onAction, a
    // bar button's Click): Outlook does not close a window from inside its
    // own callback, and the stand-in refuses it too.
    class CCommandScope {
    public:
        explicit CCommandScope(CInspector* inspector) : m_inspector(inspector)
        {
            if (m_inspector)
                ++m_inspector->m_commands;
        }
        CCommandScope(const CCommandScope&) = delete;
        CCommandScope& operator=(const CCommandScope&) = delete;
        ~CCommandScope()
        {
            if (m_inspector)
                --m_inspector->m_commands;
        }

    private:
        CComPtr<CInspector> m_inspector;
    };

private:
    ~CInspector() override;
    CApplication& Application() const;

    CApplication* m_application;
    CComPtr<CItem> m_item;
    CComPtr<CCommandBars> m_commandBars;
    std::unique_ptr<COutlookWindow> m_window;
    COleWindowPart m_oleWindow{static_cast<IDispatch&>(*this), [this] { return Window(); }};
    bool m_wordMail = false;
    int m_commands = 0; // own commands running
};

class CInspectors final : public CAutoObject {
public:
    explicit CInspectors(CApplication& application);

    const std::vector<CComPtr<CInspector>>& Open() const { return m_inspectors; }
    // A new inspector on the item, a Word mail editor with Word's bars when
    // wordMail; NewInspector goes out before it is shown.
    CInspector& Add(CItem& item, bool wordMail = false);
    void Remove(CInspector& inspector);
    CInspector* Active() const
    {
        return m_inspectors.empty() ? nullptr : m_inspectors.back().Get();
    }
    void Activate(CInspector& inspector);
    // The open inspector showing the item; null when none.
    CInspector* Showing(const CItem& item) const;

    void Detach() { m_application = nullptr; }

private:
    CApplication& Application() const;

    CApplication* m_application;
    std::vector<CComPtr<CInspector>> m_inspectors; // the active one last
};

} // namespace standin
