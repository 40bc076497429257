#include "standins/outlook/model/Word.h"

#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/office/CommandBars.h"

namespace standin {

CWordDocument::CWordDocument(std::wstring name) : CAutoObject(L"Document"), m_name(std::move(name))
{
    Getter(L"Name", [this](CCall& call) { call.Return(m_name); });
}

CWordWindow::CWordWindow(CWordDocument& document, bool envelopeVisible)
    : CAutoObject(L"Window"), m_document(&document), m_envelopeVisible(envelopeVisible)
{
    Getter(L"Document", [this](CCall& call) { call.Return(m_document.Get()); });
    Property(
        L"EnvelopeVisible", [this](CCall& call) { call.ReturnBool(m_envelopeVisible); },
        [this](CCall& call) { m_envelopeVisible = call.ValueBool(); });
}

CWordApplication::CWordApplication()
    : CAutoObject(L"WordApplication"), m_commandBars(New<CCommandBars>())
{
    AddEventSource(kWordApplicationEvents);
    Getter(L"Name", [](CCall& call) { call.Return(L"Microsoft Word"); });
    Getter(L"CommandBars", [this](CCall& call) { call.Return(m_commandBars.Get()); });
}

CWordWindow& CWordApplication::Window(const std::wstring& documentName)
{
    for (const auto& [name, window] : m_windows)
        if (name == documentName)
            return *window;
    CComPtr<CWordDocument> document = New<CWordDocument>(documentName);
    m_windows.emplace_back(documentName, New<CWordWindow>(*document, false));
    return *m_windows.back().second;
}

void CWordApplication::ActivateWindow(CWordWindow& window)
{
    Fire(kWordApplicationEvents, kDispWindowActivate,
         {CVariant(window.Document().Dispatch()), CVariant(window.Dispatch())});
}

} // namespace standin
