#include "standins/outlook/model/Explorer.h"

#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/core/NoModalScope.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/Selection.h"
#include "standins/outlook/office/CommandBars.h"

namespace standin {

CExplorer::CExplorer(CApplication& application, CFolder& folder)
    : CAutoObject(L"Explorer"), m_application(&application), m_folder(&folder),
      m_commandBars(New<CCommandBars>()), m_panes(New<CPanes>()),
      m_window(std::make_unique<COutlookWindow>(CaptionFor(folder)))
{
    AddEventSource(kExplorerEvents);
    Getter(L"Application", [this](CCall& call) { call.Return(&Application()); });
    Getter(L"Caption", [this](CCall& call) { call.Return(Caption()); });
    Property(
        L"CurrentFolder", [this](CCall& call) { call.Return(m_folder.Get()); },
        [this](CCall& call) {
            CFolder* folder = Unwrap<CFolder>(call.ValueObject());
            if (!folder)
                Fail(E_INVALIDARG, L"The parameter is incorrect.");
            SwitchTo(*folder);
        },
        true);
    Getter(L"Selection", [this](CCall& call) { call.Return(New<CSelection>(m_selection).Get()); });
    Getter(L"CommandBars", [this](CCall& call) { call.Return(m_commandBars.Get()); });
    Getter(L"Panes", [this](CCall& call) { call.Return(m_panes.Get()); });
    Method(L"Activate", 0, 0, [](CCall&) {});
    Method(L"Display", 0, 0, [](CCall&) {});
    Method(L"Close", 0, 0, [this](CCall&) { Close(); });
}

CExplorer::~CExplorer() = default;

void* CExplorer::QueryOther(REFIID iid)
{
    if (iid == IID_IOleWindow)
        return static_cast<IOleWindow*>(&m_oleWindow);
    return CAutoObject::QueryOther(iid);
}

CApplication& CExplorer::Application() const
{
    if (!m_application)
        Fail(E_FAIL, L"The application has ended.");
    return *m_application;
}

std::wstring CExplorer::CaptionFor(const CFolder& folder) const
{
    return folder.Name() + L" - Microsoft Outlook";
}

bool CExplorer::SwitchTo(CFolder& folder)
{
    VARIANT_BOOL cancel = VARIANT_FALSE;
    CVariant cancelArg;
    cancelArg.vt = VT_BOOL | VT_BYREF;
    cancelArg.pboolVal = &cancel;
    Fire(kExplorerEvents, kDispBeforeFolderSwitch, {CVariant(folder.Dispatch()), cancelArg});
    if (cancel != VARIANT_FALSE)
        return false;
    m_folder = CComPtr<CFolder>(&folder);
    m_selection.clear();
    if (m_window)
        m_window->SetCaption(CaptionFor(folder));
    Fire(kExplorerEvents, kDispFolderSwitch);
    return true;
}

void CExplorer::Select(const std::vector<CItem*>& items)
{
    m_selection.clear();
    for (CItem* item : items)
        m_selection.emplace_back(item);
    CNoModalScope inside(L"SelectionChange");
    Fire(kExplorerEvents, kDispSelectionChange);
}

void CExplorer::Close()
{
    if (IsClosed())
        return;
    CComPtr<CExplorer> keepAlive(this);
    Fire(kExplorerEvents, kDispExplorerClose);
    m_window.reset();
}

CExplorers::CExplorers(CApplication& application)
    : CAutoObject(L"Explorers"), m_application(&application)
{
    AddEventSource(kExplorersEvents);
    Getter(L"Application", [this](CCall& call) { call.Return(&Application()); });
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(Open().size())); });
    Indexed(L"Item", 1, 1, [this](CCall& call) {
        const std::vector<CComPtr<CExplorer>> open = Open();
        call.Return(open[CollectionIndex(call.Long(0), open.size())].Get());
    });
}

CApplication& CExplorers::Application() const
{
    if (!m_application)
        Fail(E_FAIL, L"The application has ended.");
    return *m_application;
}

std::vector<CComPtr<CExplorer>> CExplorers::Open() const
{
    std::vector<CComPtr<CExplorer>> open;
    for (const auto& explorer : m_explorers)
        if (!explorer->IsClosed())
            open.push_back(explorer);
    return open;
}

CExplorer& CExplorers::Add(CFolder& folder)
{
    CComPtr<CExplorer> explorer = New<CExplorer>(Application(), folder);
    m_explorers.push_back(explorer);
    Fire(kExplorersEvents, kDispNewExplorer, {CVariant(explorer->Dispatch())});
    return *explorer;
}

CExplorer* CExplorers::Active() const
{
    for (const auto& explorer : m_explorers)
        if (!explorer->IsClosed())
            return explorer.Get();
    return nullptr;
}

void CExplorers::Detach()
{
    m_application = nullptr;
    for (const auto& explorer : m_explorers)
        explorer->Detach();
}

} // namespace standin
