#include "addin/host/OutlookEvents.h"

#include "classlib/com/CBstr.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"
#include "shared/outlook/AutomationValues.h"

using namespace automation;

namespace {

const CEventEntry kApplicationTable[] = {{0xF005, 1, "OptionsPagesAdd"}, {0, 0, nullptr}};

// {00063080-0000-0000-C000-000000000046}: Outlook's PropertyPages.
constexpr IID kPropertyPages = {0x00063080, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

} // namespace

const IID COutlookEvents::kEvents = {0x0006304E, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

COutlookEvents::COutlookEvents() : CEventHandler(kApplicationTable) {}

HRESULT COutlookEvents::OnInvoke(DISPID, DISPPARAMS* params)
{
    IDispatch* argument = EventObject(params, 0, 1);
    if (!argument)
        return S_OK;
    CComPtr<IDispatch> pages;
    if (FAILED(argument->QueryInterface(kPropertyPages, pages.PutVoid())) || !pages)
        return S_OK;
    // Add(Page, Title), in automation order: the title first.
    CBstr page(L"QuillOpts.PropPage");
    CBstr title(L"Quillet");
    VARIANT args[] = {BorrowedTextArg(title.Get()), BorrowedTextArg(page.Get())};
    CVariant added;
    CallMethod(pages.Get(), L"Add", added.Put(), 2, args);
    return S_OK;
}
