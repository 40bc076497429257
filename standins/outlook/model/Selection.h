// CSelection: the items selected in an explorer when it was asked, and
// CPanes/CPane: the explorer's panes, of which the add-in shows the
// shortcuts bar.
#pragma once

#include <string>
#include <vector>

#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CItem;

class CSelection final : public CAutoObject {
public:
    explicit CSelection(std::vector<CComPtr<CItem>> items);

private:
    std::vector<CComPtr<CItem>> m_items;
};

class CPane final : public CAutoObject {
public:
    explicit CPane(std::wstring name, bool visible);

    const std::wstring& Name() const { return m_name; }
    bool Visible() const { return m_visible; }

private:
    std::wstring m_name;
    bool m_visible;
};

class CPanes final : public CAutoObject {
public:
    CPanes();

    // "OutlookBar", "NavigationPane", "FolderList", "Preview".
    CPane* Find(const std::wstring& name) const;

private:
    std::vector<CComPtr<CPane>> m_panes;
};

} // namespace standin
