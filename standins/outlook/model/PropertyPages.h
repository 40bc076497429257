// CPropertyPages: the collection Outlook hands to OptionsPagesAdd. An
// add-in adds its options page by ProgID (or as an object) under a tab
// title; the stand-in keeps what was added for the test or the host.
#pragma once

#include <string>
#include <vector>

#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CPropertyPages final : public CAutoObject {
public:
    struct Page {
        std::wstring progId; // empty when the page came as an object
        CComPtr<IDispatch> object;
        std::wstring title;
    };

    CPropertyPages();

    const std::vector<Page>& Pages() const { return m_pages; }
    // What an add-in's Add(progId, title) does, for a test that plays the
    // add-in.
    void AddPage(const std::wstring& progId, const std::wstring& title)
    {
        m_pages.push_back({progId, {}, title});
    }
    // What Add(object, title) does.
    void AddPage(IDispatch* object, const std::wstring& title)
    {
        m_pages.push_back({{}, CComPtr<IDispatch>(object), title});
    }

protected:
    void* QueryOther(REFIID iid) override;

private:
    std::vector<Page> m_pages;
};

} // namespace standin
