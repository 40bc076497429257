#include "standins/outlook/model/ItemWindow.h"

#include <algorithm>

#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/core/NoModalScope.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/office/CommandBars.h"

namespace standin {

namespace {

std::wstring CaptionFor(const CItem& item)
{
    std::wstring subject = item.Subject();
    if (subject.empty())
        subject = L"Untitled";
    switch (item.Class()) {
    case 48:
        return subject + L" - Task";
    case 40:
        return subject + L" - Contact";
    default:
        return subject + L" - Message (HTML)";
    }
}

} // namespace

CInspector::CInspector(CApplication& application, CItem& item, CCommandBars* commandBars)
    : CAutoObject(L"Inspector"), m_application(&application), m_item(&item),
      m_commandBars(commandBars ? CComPtr<CCommandBars>(commandBars) : New<CCommandBars>()),
      m_window(std::make_unique<COutlookWindow>(CaptionFor(item))),
      m_wordMail(commandBars != nullptr)
{
    Getter(L"Application", [this](CCall& call) { call.Return(&Application()); });
    Getter(L"Caption", [this](CCall& call) { call.Return(Caption()); });
    Getter(L"CurrentItem", [this](CCall& call) {
        if (IsClosed())
            Fail(E_FAIL, L"The item has been closed.");
        call.Return(m_item.Get());
    });
    Getter(L"CommandBars", [this](CCall& call) { call.Return(m_commandBars.Get()); });
    // A method in Outlook's type library, read as a property just as well.
    Indexed(L"IsWordMail", 0, 0, [this](CCall& call) { call.ReturnBool(m_wordMail); });
    Method(L"Activate", 0, 0, [this](CCall&) { Application().Activate(*this); });
    Method(L"Display", 0, 1, [](CCall&) {});
    Method(L"Close", 1, 1, [this](CCall& call) { Close(call.Long(0)); });
}

CInspector::~CInspector() = default;

void* CInspector::QueryOther(REFIID iid)
{
    if (iid == IID_IOleWindow)
        return static_cast<IOleWindow*>(&m_oleWindow);
    return CAutoObject::QueryOther(iid);
}

CApplication& CInspector::Application() const
{
    if (!m_application)
        Fail(E_FAIL, L"The application has ended.");
    return *m_application;
}

void CInspector::Close(long mode)
{
    if (IsClosed())
        return;
    if (m_commands > 0) {
        CNoModalScope::Note(L"the inspector closed inside its own command");
        Fail(E_FAIL, L"The operation cannot be performed while the window's command runs.");
    }
    CComPtr<CInspector> keepAlive(this);
    // A sink of the item's Close event may keep the window open.
    if (!m_item->CloseWindow(mode))
        return;
    m_window.reset();
    if (m_application)
        m_application->Forget(*this);
}

CInspectors::CInspectors(CApplication& application)
    : CAutoObject(L"Inspectors"), m_application(&application)
{
    AddEventSource(kInspectorsEvents);
    Getter(L"Application", [this](CCall& call) { call.Return(&Application()); });
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(m_inspectors.size())); });
    Indexed(L"Item", 1, 1, [this](CCall& call) {
        call.Return(m_inspectors[CollectionIndex(call.Long(0), m_inspectors.size())].Get());
    });
    Method(L"Add", 1, 1, [this](CCall& call) {
        CItem* item = Unwrap<CItem>(call.Object(0));
        if (!item)
            Fail(E_INVALIDARG, L"The parameter is incorrect.");
        call.Return(&Add(*item));
    });
}

CApplication& CInspectors::Application() const
{
    if (!m_application)
        Fail(E_FAIL, L"The application has ended.");
    return *m_application;
}

CInspector& CInspectors::Add(CItem& item, bool wordMail)
{
    CComPtr<CInspector> inspector =
        New<CInspector>(Application(), item, wordMail ? &Application().WordCommandBars() : nullptr);
    m_inspectors.push_back(inspector);
    Fire(kInspectorsEvents, kDispNewInspector, {CVariant(inspector->Dispatch())});
    return *inspector;
}

void CInspectors::Remove(CInspector& inspector)
{
    auto it = std::find_if(m_inspectors.begin(), m_inspectors.end(),
                           [&](const auto& open) { return open.Get() == &inspector; });
    if (it != m_inspectors.end())
        m_inspectors.erase(it);
}

CInspector* CInspectors::Showing(const CItem& item) const
{
    for (const auto& inspector : m_inspectors)
        if (&inspector->CurrentItem() == &item)
            return inspector.Get();
    return nullptr;
}

void CInspectors::Activate(CInspector& inspector)
{
    auto it = std::find_if(m_inspectors.begin(), m_inspectors.end(),
                           [&](const auto& open) { return open.Get() == &inspector; });
    if (it != m_inspectors.end())
        std::rotate(it, it + 1, m_inspectors.end());
}

} // namespace standin
