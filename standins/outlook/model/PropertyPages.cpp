#include "standins/outlook/model/PropertyPages.h"

#include "standins/outlook/core/EventIds.h"

namespace standin {

CPropertyPages::CPropertyPages() : CAutoObject(L"PropertyPages")
{
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(m_pages.size())); });
    Method(L"Add", 1, 2, [this](CCall& call) {
        Page page;
        const VARIANT& source = call.Arg(0);
        if (source.vt == VT_DISPATCH || source.vt == (VT_DISPATCH | VT_BYREF))
            page.object = CComPtr<IDispatch>(call.Object(0));
        else
            page.progId = call.Text(0);
        if (page.progId.empty() && !page.object)
            Fail(E_INVALIDARG, L"The parameter is incorrect.");
        page.title = call.Text(1, L"");
        m_pages.push_back(std::move(page));
    });
    Method(L"Remove", 1, 1, [this](CCall& call) {
        m_pages.erase(m_pages.begin() +
                      static_cast<long>(CollectionIndex(call.Long(0), m_pages.size())));
    });
}

// Outlook's pages collection answers for its own interface, which add-ins
// ask for before they add a page; it is served through IDispatch.
void* CPropertyPages::QueryOther(REFIID iid)
{
    return iid == kPropertyPages ? Dispatch() : CAutoObject::QueryOther(iid);
}

} // namespace standin
