// The Office command bars of an explorer or inspector window: the
// CommandBars collection and its bars. Office finds a bar by its name
// without regard to case or by its 1-based index, and answers a name it
// does not know with an automation exception carrying E_INVALIDARG, which is
// what an add-in sees when its bar does not exist yet. A bar deleted
// through Delete leaves its collection at once; the object itself lives on
// while anybody holds it.
#pragma once

#include <string>
#include <vector>

#include "classlib/com/CComPtr.h"
#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CCommandBar;
class CCommandBarControls;

class CCommandBars : public CAutoObject {
public:
    CCommandBars();

    // A bar as Add makes it (for fixtures that need one already there).
    CCommandBar* AddBar(const std::wstring& name, long position = 1, bool menuBar = false,
                        bool temporary = true);
    // The bar of that name (any case), or null.
    CCommandBar* Find(const std::wstring& name) const;
    size_t Count() const { return m_bars.size(); }
    CCommandBar* At(size_t index) const { return m_bars[index].Get(); }

protected:
    ~CCommandBars() override;

private:
    friend class CCommandBar;
    void Remove(CCommandBar* bar);
    CCommandBar* ByIndex(const VARIANT& index) const;

    std::vector<CComPtr<CCommandBar>> m_bars;
};

class CCommandBar : public CAutoObject {
public:
    CCommandBar(CCommandBars* owner, std::wstring name, long position, bool menuBar,
                bool temporary);

    const std::wstring& Name() const { return m_name; }
    CCommandBarControls* Controls() const { return m_controls.Get(); }
    bool Visible() const { return m_visible; }
    bool Enabled() const { return m_enabled; }
    long Top() const { return m_top; }
    long Left() const { return m_left; }
    long Position() const { return m_position; }
    long RowIndex() const { return m_rowIndex; }
    bool MenuBar() const { return m_menuBar; }
    bool Temporary() const { return m_temporary; }
    // Delete was called (the bar has left its collection).
    bool Deleted() const { return m_deleted; }

protected:
    ~CCommandBar() override;

private:
    friend class CCommandBars;
    void Delete();

    CCommandBars* m_owner; // not held: the collection holds its bars
    std::wstring m_name;
    CComPtr<CCommandBarControls> m_controls;
    bool m_visible = false;
    bool m_enabled = true;
    long m_top = 0;
    long m_left = 0;
    long m_position;
    long m_rowIndex = 0;
    bool m_menuBar;
    bool m_temporary;
    bool m_deleted = false;
};

} // namespace standin
