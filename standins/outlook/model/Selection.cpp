#include "standins/outlook/model/Selection.h"

#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/model/Item.h"

namespace standin {

CSelection::CSelection(std::vector<CComPtr<CItem>> items)
    : CAutoObject(L"Selection"), m_items(std::move(items))
{
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(m_items.size())); });
    Indexed(L"Item", 1, 1, [this](CCall& call) {
        call.Return(m_items[CollectionIndex(call.Long(0), m_items.size())].Get());
    });
}

CPane::CPane(std::wstring name, bool visible)
    : CAutoObject(L"Pane"), m_name(std::move(name)), m_visible(visible)
{
    Getter(L"Name", [this](CCall& call) { call.Return(m_name); });
    Property(
        L"Visible", [this](CCall& call) { call.ReturnBool(m_visible); },
        [this](CCall& call) { m_visible = call.ValueBool(); });
}

CPanes::CPanes() : CAutoObject(L"Panes")
{
    for (const wchar_t* name : {L"OutlookBar", L"NavigationPane", L"FolderList", L"Preview"})
        m_panes.push_back(New<CPane>(name, std::wstring(name) != L"OutlookBar"));
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(m_panes.size())); });
    Indexed(L"Item", 1, 1, [this](CCall& call) {
        const VARIANT& index = call.Arg(0);
        if (index.vt == VT_BSTR) {
            CPane* pane = Find(call.Text(0));
            if (!pane)
                Fail(E_INVALIDARG, L"The parameter is incorrect.");
            call.Return(pane);
            return;
        }
        call.Return(m_panes[CollectionIndex(call.Long(0), m_panes.size())].Get());
    });
}

CPane* CPanes::Find(const std::wstring& name) const
{
    for (const auto& pane : m_panes)
        if (SameName(pane->Name(), name))
            return pane.Get();
    return nullptr;
}

} // namespace standin
