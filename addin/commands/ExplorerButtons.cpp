#include "addin/commands/ExplorerButtons.h"

#include <memory>
#include <new>

#include "addin/AddinResource.h"
#include "addin/commands/CmdBar.h"
#include "addin/sync/SyncBtn.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"

namespace {

HRESULT MakeExplorerBar(IDispatch* application, IDispatch* explorer, CCmdBar** bar)
{
    if (!bar)
        return E_INVALIDARG;
    std::unique_ptr<CCmdBar> newBar(new (std::nothrow) CCmdBar);
    if (!newBar)
        return E_OUTOFMEMORY;
    CString name;
    name.LoadString(IDS_BAR_NAME);
    HRESULT hr = newBar->Create(explorer, name);
    if (FAILED(hr))
        return hr;
    auto* button = new (std::nothrow) CSyncBtn(IDS_SYNC_CAPTION, IDB_SYNC_FACE, IDB_SYNC_MASK);
    if (!button)
        return E_OUTOFMEMORY;
    button->SetApplication(application);
    hr = newBar->AddButton(button, FALSE); // the bar holds the button from here on
    if (FAILED(hr))
        return hr;
    // Only a state saved in full places the bar. A bar that cannot be
    // placed or hidden still works: the failure is logged and the bar kept.
    CCmdBarState state;
    CConfig config;
    if (config.GetCmdBarState(state) == S_OK) {
        hr = newBar->Render(state);
        if (FAILED(hr))
            TheLog().HResult("COutAddIn::Render", hr);
    }
    // Hidden until the explorer shows a task folder.
    newBar->SetVisibility(nullptr, FALSE);
    *bar = newBar.release();
    return S_OK;
}

} // namespace

HRESULT AddExplorerButtons(IDispatch* application, IDispatch* explorer, CCmdBar** bar)
{
    CLogBlock block("COutAddIn::AddExplorerButtons");
    const HRESULT hr = MakeExplorerBar(application, explorer, bar);
    TheLog().HResult("COutAddIn::AddExplorerButtons", hr);
    return hr;
}
