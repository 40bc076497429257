#include "standins/outlook/office/CommandBars.h"

#include <algorithm>

#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/office/CommandBarButton.h"

namespace standin {

namespace {

// What Office says for a bar or control it does not have, or an index
// beyond the last.
constexpr wchar_t kInvalidArgument[] = L"Invalid procedure call or argument";

// msoBarTop, the position of a bar added without one.
constexpr long kBarTop = 1;

} // namespace

CCommandBars::CCommandBars() : CAutoObject(L"CommandBars")
{
    Indexed(L"Item", 1, 1, [this](CCall& call) { call.Return(ByIndex(call.Arg(0))); });
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(m_bars.size())); });
    Method(L"Add", 0, 4, [this](CCall& call) {
        std::wstring name = call.Text(0, L"");
        if (name.empty())
            name = L"Custom " + std::to_wstring(m_bars.size() + 1);
        if (Find(name))
            Fail(E_INVALIDARG, kInvalidArgument);
        call.Return(AddBar(name, call.Long(1, kBarTop), call.Bool(2, false), call.Bool(3, false)));
    });
}

CCommandBars::~CCommandBars()
{
    // Bars held elsewhere outlive the collection; they no longer belong to it.
    for (auto& bar : m_bars)
        bar->m_owner = nullptr;
}

CCommandBar* CCommandBars::AddBar(const std::wstring& name, long position, bool menuBar,
                                  bool temporary)
{
    m_bars.push_back(New<CCommandBar>(this, name, position, menuBar, temporary));
    return m_bars.back().Get();
}

CCommandBar* CCommandBars::Find(const std::wstring& name) const
{
    for (const auto& bar : m_bars)
        if (SameName(bar->Name(), name))
            return bar.Get();
    return nullptr;
}

CCommandBar* CCommandBars::ByIndex(const VARIANT& index) const
{
    CCommandBar* bar = nullptr;
    if (index.vt == VT_BSTR) {
        bar = Find(std::wstring(index.bstrVal ? index.bstrVal : L"", SysStringLen(index.bstrVal)));
    } else {
        CVariant number;
        if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(&index), 0, VT_I4)))
            Fail(DISP_E_TYPEMISMATCH, kInvalidArgument);
        if (number.lVal >= 1 && static_cast<size_t>(number.lVal) <= m_bars.size())
            bar = m_bars[static_cast<size_t>(number.lVal - 1)].Get();
    }
    if (!bar)
        Fail(E_INVALIDARG, kInvalidArgument);
    return bar;
}

void CCommandBars::Remove(CCommandBar* bar)
{
    // The reference leaves the list before it is released: the release may
    // be the bar's last.
    auto it = std::find_if(m_bars.begin(), m_bars.end(), [bar](const auto& b) { return b == bar; });
    if (it == m_bars.end())
        return;
    CComPtr<CCommandBar> leaving = std::move(*it);
    m_bars.erase(it);
    leaving->m_owner = nullptr;
}

CCommandBar::CCommandBar(CCommandBars* owner, std::wstring name, long position, bool menuBar,
                         bool temporary)
    : CAutoObject(L"CommandBar"), m_owner(owner), m_name(std::move(name)),
      m_controls(New<CCommandBarControls>(this)), m_position(position), m_menuBar(menuBar),
      m_temporary(temporary)
{
    Property(
        L"Name", [this](CCall& call) { call.Return(m_name); },
        [this](CCall& call) { m_name = call.ValueText(); });
    Getter(L"Controls", [this](CCall& call) { call.Return(m_controls.Get()); });
    Property(
        L"Visible", [this](CCall& call) { call.ReturnBool(m_visible); },
        [this](CCall& call) { m_visible = call.ValueBool(); });
    Property(
        L"Enabled", [this](CCall& call) { call.ReturnBool(m_enabled); },
        [this](CCall& call) { m_enabled = call.ValueBool(); });
    Property(
        L"Top", [this](CCall& call) { call.Return(m_top); },
        [this](CCall& call) { m_top = call.ValueLong(); });
    Property(
        L"Left", [this](CCall& call) { call.Return(m_left); },
        [this](CCall& call) { m_left = call.ValueLong(); });
    Property(
        L"Position", [this](CCall& call) { call.Return(m_position); },
        [this](CCall& call) { m_position = call.ValueLong(); });
    Property(
        L"RowIndex", [this](CCall& call) { call.Return(m_rowIndex); },
        [this](CCall& call) { m_rowIndex = call.ValueLong(); });
    Method(L"Delete", 0, 1, [this](CCall&) { Delete(); });
}

CCommandBar::~CCommandBar()
{
    m_controls->Orphan();
}

void CCommandBar::Delete()
{
    m_deleted = true;
    if (m_owner)
        m_owner->Remove(this);
}

} // namespace standin
