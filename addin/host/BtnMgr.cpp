#include "addin/host/BtnMgr.h"

#include <cstring>
#include <memory>
#include <new>

#include "addin/commands/CmdBtn.h"
#include "addin/send/SendBtn.h"
#include "addin/sync/SyncBtn.h"
#include "classlib/com/CComPtr.h"

namespace {

const CEventEntry kButtons[] = {
    {CBtnMgr::kSendClicked, 1, "inkSendClicked"},
    {CBtnMgr::kSyncClicked, 1, "inkSyncClicked"},
    {0, 0, nullptr},
};

// Lets the button's item and recipients go and the button itself.
struct CButtonRun {
    explicit CButtonRun(CCmdBtn* made) : button(made)
    {
        if (button)
            button->AddRef();
    }
    CButtonRun(const CButtonRun&) = delete;
    CButtonRun& operator=(const CButtonRun&) = delete;
    ~CButtonRun()
    {
        if (button)
            button->Release();
    }
    CCmdBtn* button;
};

} // namespace

const CEventEntry* CBtnMgr::FindByName(const char* name)
{
    if (!name)
        return nullptr;
    for (const CEventEntry* entry = kButtons; entry->name; ++entry)
        if (std::strcmp(entry->name, name) == 0)
            return entry;
    return nullptr;
}

const CEventEntry* CBtnMgr::FindById(DISPID id)
{
    for (const CEventEntry* entry = kButtons; entry->name; ++entry)
        if (entry->dispid == id)
            return entry;
    return nullptr;
}

HRESULT CBtnMgr::OnAction(const char* name)
{
    if (!name)
        return E_INVALIDARG;
    const CEventEntry* entry = FindByName(name);
    if (!entry)
        return S_OK;
    if (entry->dispid == kSendClicked) {
        CButtonRun run(new (std::nothrow) CSendBtn);
        if (!run.button)
            return E_OUTOFMEMORY;
        run.button->SetInspectorMode(TRUE);
        run.button->SetResolveRecipients(TRUE);
        run.button->SetApplication(m_application);
        const HRESULT hr = run.button->OnInspectorInvoke(nullptr, FALSE);
        if (FAILED(hr))
            return hr;
        return run.button->OnClick();
    }
    CButtonRun run(new (std::nothrow) CSyncBtn);
    if (!run.button)
        return E_OUTOFMEMORY;
    run.button->SetResolveRecipients(FALSE);
    run.button->SetApplication(m_application);
    return run.button->OnClick();
}
