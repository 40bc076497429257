#include "addin/commands/CmdBar.h"

#include <cstring>

#include "shared/outlook/AutomationValues.h"
#include "addin/commands/CmdBtn.h"
#include "addin/module/RegMgr.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "classlib/com/HResult.h"
#include "shared/log/DebugLog.h"

using namespace automation;

namespace {

// Office's msoBarTop and msoControlButton.
constexpr long kBarTop = 1;
constexpr long kControlButton = 1;

// The explorers of Outlook versions before 11 take faces only through the
// clipboard (a byte-wise comparison of the major version text).
bool NeedsPastedFace()
{
    CString version;
    CRegMgr::GetOutlookVersion(version);
    return std::strcmp(version, "11") < 0;
}

} // namespace

CCmdBar::~CCmdBar()
{
    if (m_commandBar) {
        CallMethod(m_commandBar.Get(), L"Delete", nullptr, 0, nullptr);
        m_commandBar.Release();
    }
    // The bar lets go of its reference; a button still in the middle of a
    // click (its source holding it) goes when that ends.
    for (POSITION pos = m_buttons.GetHeadPosition(); pos;) {
        CCmdBtn* button = m_buttons.GetNext(pos);
        button->Disconnect();
        button->Release();
    }
    m_buttons.RemoveAll();
}

HRESULT CCmdBar::Create(IDispatch* owner, const char* name)
{
    if (!owner || !name)
        return E_INVALIDARG;
    // One bar a wrapper: a second one would be left on its window.
    if (m_commandBar)
        return E_UNEXPECTED;
    CVariant bars;
    HRESULT hr = GetProp(owner, L"CommandBars", bars.Put());
    if (FAILED(hr))
        return hr;
    if (!IsObject(bars))
        return E_FAIL;
    CVariant bar(name);
    CVariant found;
    hr = CallMethod(bars.pdispVal, L"Item", found.Put(), 1, &bar);
    if (FAILED(hr) || !IsObject(found)) {
        // Automation order: Temporary, MenuBar, Position, Name (the name
        // only borrowed from bar).
        VARIANT args[] = {BoolArg(true), BoolArg(false), LongArg(kBarTop), bar};
        hr = CallMethod(bars.pdispVal, L"Add", found.Put(), 4, args);
        if (FAILED(hr) || !IsObject(found)) {
            TheLog().HResult("CCmdBar::Create", FAILED(hr) ? hr : E_FAIL);
            return E_FAIL;
        }
    }
    m_commandBar = CComPtr<IDispatch>(found.pdispVal);
    m_owner = owner;
    m_name = name;
    return S_OK;
}

HRESULT CCmdBar::AddButton(CCmdBtn* button, BOOL inspectorMode)
{
    CLogBlock block("COutAddIn::AddButton");
    if (!button)
        return E_INVALIDARG;
    // The bar holds the button from the call on, whatever it returns.
    button->AddRef();
    if (!m_commandBar) {
        button->Release();
        return E_INVALIDARG;
    }
    m_buttons.AddTail(button);
    try {
        bool wordMail = false;
        if (inspectorMode) {
            CVariant isWordMail;
            wordMail = SUCCEEDED(GetProp(m_owner, L"IsWordMail", isWordMail.Put())) &&
                       isWordMail.vt == VT_BOOL && isWordMail.boolVal == VARIANT_TRUE;
        }
        CVariant controls;
        THROW_IF_FAILED(GetProp(m_commandBar.Get(), L"Controls", controls.Put()));
        if (!IsObject(controls))
            ThrowHResult(E_FAIL, "no controls");
        CString caption;
        caption.LoadString(button->GetCaptionId());
        if (caption.IsEmpty())
            ThrowHResult(E_INVALIDARG, "no caption");
        CVariant captionArg(caption);
        CVariant control;
        const HRESULT found = CallMethod(controls.pdispVal, L"Item", control.Put(), 1, &captionArg);
        if (FAILED(found) || !IsObject(control)) {
            CVariant type(kControlButton);
            THROW_IF_FAILED(CallMethod(controls.pdispVal, L"Add", control.Put(), 1, &type));
            if (!IsObject(control))
                ThrowHResult(E_FAIL, "no new control");
            THROW_IF_FAILED(button->SetupButton(control.pdispVal, NeedsPastedFace() || wordMail));
        } else {
            button->TagIt(control.pdispVal, button->GetTag());
        }
        THROW_IF_FAILED(button->Connect(control.pdispVal));
        button->SetOwnerWindow(m_owner);
        button->SetInspectorMode(inspectorMode);
        return S_OK;
    } catch (const CHResultError& error) {
        TheLog().HResult("COutAddIn::AddButton", error.hr);
        return error.hr;
    }
}

HRESULT CCmdBar::Render(const CCmdBarState& state)
{
    CLogBlock block("COutAddIn::Render");
    if (!m_commandBar)
        return E_INVALIDARG;
    IDispatch* bar = m_commandBar.Get();
    RETURN_IF_FAILED(PutLong(bar, L"Top", state.Top));
    RETURN_IF_FAILED(PutLong(bar, L"Left", state.Left));
    RETURN_IF_FAILED(PutLong(bar, L"Position", state.Position));
    RETURN_IF_FAILED(PutLong(bar, L"RowIndex", state.RowIndex));
    return PutLong(bar, L"Visible", 0);
}

HRESULT CCmdBar::SetVisibility(const char* controlName, BOOL visible)
{
    const long value = visible ? 1 : 0;
    HRESULT hr = S_OK;
    if (!m_commandBar) {
        hr = E_INVALIDARG;
    } else if (controlName) {
        CVariant controls;
        CVariant control;
        CVariant name(controlName);
        hr = GetProp(m_commandBar.Get(), L"Controls", controls.Put());
        if (SUCCEEDED(hr) && !IsObject(controls))
            hr = E_FAIL;
        if (SUCCEEDED(hr))
            hr = CallMethod(controls.pdispVal, L"Item", control.Put(), 1, &name);
        if (SUCCEEDED(hr) && !IsObject(control))
            hr = E_FAIL;
        if (SUCCEEDED(hr))
            hr = PutLong(control.pdispVal, L"Visible", value);
    } else {
        hr = PutLong(m_commandBar.Get(), L"Visible", value);
    }
    if (FAILED(hr))
        TheLog().HResult("CCmdBar::SetVisibility", hr);
    return hr;
}

void CCmdBar::DisconnectAll()
{
    for (POSITION pos = m_buttons.GetHeadPosition(); pos;)
        m_buttons.GetNext(pos)->Disconnect();
}
