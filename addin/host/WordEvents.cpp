#include "addin/host/WordEvents.h"

#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "shared/outlook/AutomationValues.h"

using namespace automation;

namespace {

const CEventEntry kWordTable[] = {{10, 2, "WindowActivate"}, {0, 0, nullptr}};

} // namespace

const IID CWordEvents::kEvents = {0x000209FE, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

CWordEvents::CWordEvents() : CEventHandler(kWordTable) {}

HRESULT CWordEvents::OnInvoke(DISPID, DISPPARAMS* params)
{
    // WindowActivate(Doc, Wn): the envelope is the window's, not the document's.
    IDispatch* window = EventObject(params, 1, 2);
    CVariant envelope;
    if (!window || FAILED(GetProp(window, L"EnvelopeVisible", envelope.Put())))
        return S_OK;
    CVariant shown;
    if (FAILED(VariantChangeType(&shown, &envelope, 0, VT_BOOL)))
        return S_OK;
    CVariant bars;
    if (FAILED(GetProp(m_application, L"CommandBars", bars.Put())) || !IsObject(bars))
        return S_OK;
    CBstr name(L"Quillet");
    VARIANT itemArgs[] = {BorrowedTextArg(name.Get())};
    CVariant bar;
    if (FAILED(CallMethod(bars.pdispVal, L"Item", bar.Put(), 1, itemArgs)) || !IsObject(bar))
        return S_OK;
    const bool visible = shown.boolVal != VARIANT_FALSE;
    // Enabled before Visible when showing, Visible before Enabled when hiding.
    VARIANT flag = BoolArg(visible);
    if (visible) {
        PutProp(bar.pdispVal, L"Enabled", &flag);
        PutProp(bar.pdispVal, L"Visible", &flag);
    } else {
        PutProp(bar.pdispVal, L"Visible", &flag);
        PutProp(bar.pdispVal, L"Enabled", &flag);
    }
    return S_OK;
}
