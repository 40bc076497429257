#include "standins/outlook/model/Application.h"

#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/model/Explorer.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/ItemWindow.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/NameSpace.h"
#include "standins/outlook/model/PropertyPages.h"
#include "standins/outlook/model/Word.h"
#include "standins/outlook/office/CommandBars.h"

namespace standin {

CApplication::CApplication(const std::wstring& version)
    : CAutoObject(L"Application"), m_mailbox(std::make_unique<CMailbox>()),
      m_namespace(New<CNameSpace>(*this)), m_inspectors(New<CInspectors>(*this)),
      m_explorers(New<CExplorers>(*this)), m_version(version)
{
    AddEventSource(kApplicationEvents);
    Getter(L"Name", [](CCall& call) { call.Return(L"Outlook"); });
    Getter(L"Version", [this](CCall& call) { call.Return(m_version); });
    Getter(L"Application", [this](CCall& call) { call.Return(this); });
    Getter(L"Session", [this](CCall& call) { call.Return(m_namespace.Get()); });
    // Outlook's own spelling is GetNamespace; names match without case.
    Method(L"GetNamespace", 1, 1, [this](CCall& call) {
        if (call.Text(0) != L"MAPI")
            Fail(E_INVALIDARG, L"The parameter is incorrect.");
        call.Return(m_namespace.Get());
    });
    Getter(L"Inspectors", [this](CCall& call) { call.Return(m_inspectors.Get()); });
    Getter(L"Explorers", [this](CCall& call) { call.Return(m_explorers.Get()); });
    Method(L"ActiveExplorer", 0, 0, [this](CCall& call) { call.Return(ActiveExplorer()); });
    Method(L"ActiveInspector", 0, 0, [this](CCall& call) { call.Return(ActiveInspector()); });
    Method(L"CreateItem", 1, 1, [this](CCall& call) {
        CComPtr<CItem> item = m_mailbox->CreateItem(call.Long(0));
        if (!item)
            Fail(E_INVALIDARG, L"The parameter is incorrect.");
        call.Return(item.Get());
    });
    Method(L"Quit", 0, 0, [this](CCall&) { Quit(); });

    // Items open and close their windows through the application.
    m_mailbox->SetWindowHandlers(
        [this](CItem& item) {
            if (CInspector* open = m_inspectors->Showing(item))
                Activate(*open);
            else if (!m_quit)
                OpenInspector(item);
        },
        [this](CItem& item, long mode) {
            CInspector* open = m_inspectors->Showing(item);
            if (!open)
                return false;
            open->Close(mode);
            return true;
        });
}

CApplication::~CApplication()
{
    Quit();
}

CExplorer& CApplication::OpenExplorer(CFolder* folder)
{
    if (!folder)
        folder = m_mailbox->DefaultFolder(6);
    return m_explorers->Add(*folder);
}

CExplorer* CApplication::ActiveExplorer() const
{
    return m_explorers->Active();
}

CInspector& CApplication::OpenInspector(CItem& item)
{
    return m_inspectors->Add(item, m_wordMail);
}

CWordApplication& CApplication::Word()
{
    if (!m_word)
        m_word = New<CWordApplication>();
    return *m_word;
}

CCommandBars& CApplication::WordCommandBars()
{
    return Word().CommandBars();
}

CInspector* CApplication::ActiveInspector() const
{
    return m_inspectors->Active();
}

void CApplication::Activate(CInspector& inspector)
{
    m_inspectors->Activate(inspector);
}

void CApplication::Forget(CInspector& inspector)
{
    m_inspectors->Remove(inspector);
}

CComPtr<CPropertyPages> CApplication::ShowOptions()
{
    CComPtr<CPropertyPages> pages = New<CPropertyPages>();
    Fire(kApplicationEvents, kDispOptionsPagesAdd, {CVariant(pages->Dispatch())});
    return pages;
}

void CApplication::Quit()
{
    if (m_quit)
        return;
    m_quit = true;
    // The add-in may hold any of these past the application; each then
    // answers that the application has ended.
    for (const auto& inspector : m_inspectors->Open())
        inspector->Detach();
    m_explorers->Detach();
    m_inspectors->Detach();
    m_namespace->Detach();
    m_mailbox->SetWindowHandlers(nullptr, nullptr);
}

} // namespace standin
