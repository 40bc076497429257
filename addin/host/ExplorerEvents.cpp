#include "addin/host/ExplorerEvents.h"

#include <cstring>
#include <utility>

#include "addin/commands/CmdBar.h"
#include "addin/core/PostedWork.h"
#include "addin/receipts/ReceiptMgr.h"
#include "addin/module/RegMgr.h"
#include "classlib/com/CVariant.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"

using namespace automation;

namespace {

constexpr DISPID kBeforeFolderSwitch = 0xF003;
constexpr DISPID kSelectionChange = 0xF007;
constexpr DISPID kClose = 0xF008;

const CEventEntry kExplorerTable[] = {
    {kBeforeFolderSwitch, 2, "BeforeFolderSwitch"},
    {kSelectionChange, 0, "SelectionChange"},
    {kClose, 0, "Close"},
    {0, 0, nullptr},
};

} // namespace

const IID CExplorerEvents::kEvents = {0x0006304F, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

CExplorerEvents::CExplorerEvents(const std::unique_ptr<CCmdBar>* bar,
                                 std::function<void(CExplorerEvents*)> onClose)
    : CEventHandler(kExplorerTable), m_bar(bar), m_onClose(std::move(onClose))
{}

HRESULT CExplorerEvents::Connect(IDispatch* explorer)
{
    const HRESULT hr = CEventHandler::Connect(explorer);
    if (SUCCEEDED(hr))
        m_explorer = CComPtr<IDispatch>(explorer);
    return hr;
}

void CExplorerEvents::Disconnect()
{
    CEventHandler::Disconnect();
    m_explorer.Release();
}

HRESULT CExplorerEvents::OnInvoke(DISPID id, DISPPARAMS* params)
{
    if (m_version.IsEmpty())
        CRegMgr::GetOutlookVersion(m_version);
    if (id == kBeforeFolderSwitch)
        // BeforeFolderSwitch(NewFolder, Cancel): the folder being switched to.
        OnFolderSwitch(EventObject(params, 0, 2));
    else if (id == kSelectionChange)
        OnSelectionChange();
    else if (id == kClose && m_onClose)
        m_onClose(this);
    return S_OK;
}

void CExplorerEvents::TakeCurrentFolder()
{
    if (m_version.IsEmpty())
        CRegMgr::GetOutlookVersion(m_version);
    CVariant folder;
    if (m_explorer && SUCCEEDED(GetProp(m_explorer.Get(), L"CurrentFolder", folder.Put())) &&
        IsObject(folder))
        OnFolderSwitch(folder.pdispVal);
}

bool CExplorerEvents::HasBarToTend() const
{
    // The same byte-wise test as the one that made the bar at start-up.
    return m_bar && *m_bar && std::strcmp(m_version, "13") < 0;
}

void CExplorerEvents::OnFolderSwitch(IDispatch* folder)
{
    CVariant type;
    if (!folder || FAILED(GetProp(folder, L"DefaultItemType", type.Put())))
        return;
    CVariant converted;
    if (FAILED(VariantChangeType(&converted, &type, 0, VT_I4)))
        return;
    m_folderType = converted.lVal;
    if (HasBarToTend())
        UpdateBarVisibility();
}

void CExplorerEvents::OnSelectionChange()
{
    if (CConfig::IsSyncFolderType(m_folderType))
        PostReceiptImport();
    if (HasBarToTend())
        UpdateBarVisibility();
}

void CExplorerEvents::PostReceiptImport()
{
    if (m_importPosted)
        return;
    CComPtr<CExplorerEvents> self(this);
    const HRESULT hr = ThePostedWork().Post([self] {
        self->m_importPosted = false;
        self->ImportReceipts();
    });
    if (FAILED(hr))
        TheLog().HResult("CExplorerEvents::PostReceiptImport", hr);
    else
        m_importPosted = true;
}

void CExplorerEvents::ImportReceipts()
{
    // The import's dialog is modal, and its message loop can bring another
    // SelectionChange: the import itself refuses to run inside itself.
    const HRESULT hr = CReceiptMgr::Import(m_application);
    if (FAILED(hr))
        TheLog().HResult("CExplorerEvents::ImportReceipts", hr);
}

void CExplorerEvents::UpdateBarVisibility()
{
    if (!m_bar || !*m_bar)
        return;
    CCmdBarState state;
    long visible = 1;
    CConfig config;
    if (config.GetCmdBarState(state) == S_OK)
        visible = state.Visible;
    (*m_bar)->SetVisibility(nullptr, CConfig::IsSyncFolderType(m_folderType) && visible != 0);
}
