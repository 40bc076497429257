// The explorer's sink: it remembers what kind of items the folder last
// switched to holds, shows the explorer's sync bar only in task folders
// (Outlook versions before the ribbon), and imports the agent's receipt
// files when the selection changes in a task folder. The import's dialog
// must not run inside SelectionChange (Outlook's selection would stay
// stuck): it runs once the event has returned (CPostedWork). When its
// explorer closes, the sink tells its owner, which lets it and the
// explorer's bar go.
#pragma once

#include <functional>
#include <memory>

#include "addin/core/EventHandler.h"
#include "classlib/strings/CString.h"

class CCmdBar;

class CExplorerEvents : public CEventHandler {
public:
    // bar: the add-in's member that holds the explorer bar (lent; it may
    // stay null).
    explicit CExplorerEvents(const std::unique_ptr<CCmdBar>* bar,
                             std::function<void(CExplorerEvents*)> onClose = {});

    // Also keeps a reference to the explorer until Disconnect.
    HRESULT Connect(IDispatch* explorer) override;
    void Disconnect() override;
    // Shows the bar when the folder holds tasks and the user left the bar
    // visible (or no state is saved); hides it otherwise.
    virtual void UpdateBarVisibility();

    long GetFolderType() const { return m_folderType; }
    // Takes the kind of items of the folder the explorer shows now, as a
    // switch to it would: an explorer opened later may open on any folder.
    void TakeCurrentFolder();

    // {0006304F-0000-0000-C000-000000000046}: Outlook's ExplorerEvents.
    static const IID kEvents;

protected:
    HRESULT OnInvoke(DISPID id, DISPPARAMS* params) override;
    const IID& GetEventIID() const override { return kEvents; }

    // The receipt import.
    void ImportReceipts();
    // Posts one receipt import; a selection change while one is waiting
    // posts no second.
    void PostReceiptImport();

private:
    void OnFolderSwitch(IDispatch* folder);
    void OnSelectionChange();
    bool HasBarToTend() const;

    const std::unique_ptr<CCmdBar>* m_bar; // the add-in's; null: no bar
    long m_folderType = 0;
    CString m_version;
    CComPtr<IDispatch> m_explorer;
    std::function<void(CExplorerEvents*)> m_onClose;
    bool m_importPosted = false;
};
