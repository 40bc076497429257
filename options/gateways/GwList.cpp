#include "options/gateways/GwList.h"

#include <comcat.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CComPtr.h"
#include "shared/gateway/QuilletGateway.h"
#include "shared/log/DebugLog.h"

HRESULT CGwList::ListCategory()
{
    CLogBlock block("CGwList::ListCategory");
    m_classes.clear();
    CComPtr<ICatInformation> categories;
    HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICatInformation, categories.PutVoid());
    if (FAILED(hr))
        return hr;
    CATID implemented = CATID_QuilletGateways;
    CComPtr<IEnumCLSID> classes;
    hr = categories->EnumClassesOfCategories(1, &implemented, 0, nullptr, classes.Put());
    if (FAILED(hr) || !classes)
        return FAILED(hr) ? hr : E_FAIL;
    CLSID clsid{};
    ULONG fetched = 0;
    while (classes->Next(1, &clsid, &fetched) == S_OK && fetched == 1) {
        LPOLESTR text = nullptr;
        if (SUCCEEDED(StringFromCLSID(clsid, &text)) && text) {
            m_classes.push_back(CBstr::ToNarrow(text));
            CoTaskMemFree(text);
        }
    }
    return S_OK;
}

HRESULT CGwList::Enumerate()
{
    CLogBlock block("CGwList::Enumerate");
    m_enumerated = TRUE;
    HRESULT hr = ListCategory();
    if (FAILED(hr))
        return hr;
    for (const CString& clsid : m_classes) {
        if (clsid.IsEmpty())
            continue;
        auto record = std::make_unique<CGwInfo>(clsid);
        // A class that cannot be made is not listed; one that is slow to be
        // made is (as "Unspecified").
        if (FAILED(record->Create()) || !record->HasObject()) {
            TheLog().Warning("CGwList::Enumerate: a gateway could not be created");
            continue;
        }
        m_records.push_back(std::move(record));
    }
    return S_OK;
}
