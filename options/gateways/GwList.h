// CGwList: the gateway plug-ins installed on this machine: every class of
// the gateway component category, and a record (CGwInfo) for each one whose
// creation did not fail (a slow one is listed while it is still being made).
#pragma once

#include <memory>
#include <vector>

#include <windows.h>

#include "classlib/strings/CString.h"
#include "options/gateways/GwInfo.h"

class CGwList {
public:
    // Fills the CLSID texts from the category manager. S_OK, or what making
    // the manager or listing the category failed with.
    HRESULT ListCategory();
    // Lists the category and makes a record for every class whose creation
    // did not fail, in the category's order. S_OK, or the listing's failure.
    HRESULT Enumerate();

    // Empties the records, letting their gateway objects go.
    void RemoveAll() { m_records.clear(); }

    bool IsEnumerated() const { return m_enumerated; }
    const std::vector<CString>& Classes() const { return m_classes; }
    std::vector<std::unique_ptr<CGwInfo>>& Records() { return m_records; }

private:
    BOOL m_enumerated = FALSE;
    std::vector<CString> m_classes;
    std::vector<std::unique_ptr<CGwInfo>> m_records;
};
