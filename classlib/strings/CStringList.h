// CStringList: an ordered list of strings held by the list.
#pragma once

#include "classlib/strings/CString.h"
#include "classlib/strings/CTypedPtrList.h"

class CStringList {
public:
    CStringList() = default;
    explicit CStringList(int blockSize) : m_list(blockSize) {}

    int GetCount() const { return m_list.GetCount(); }
    bool IsEmpty() const { return m_list.IsEmpty(); }

    POSITION AddHead(const CString& text) { return m_list.AddHead(new CString(text)); }
    POSITION AddTail(const CString& text) { return m_list.AddTail(new CString(text)); }
    void RemoveAll() { m_list.RemoveAll(); }

    CString RemoveHead() { return Take(m_list.RemoveHead()); }
    CString RemoveTail() { return Take(m_list.RemoveTail()); }
    void RemoveAt(POSITION pos) { delete m_list.RemoveAt(pos); }

    const CString& GetHead() const { return *m_list.GetHead(); }
    const CString& GetTail() const { return *m_list.GetTail(); }
    POSITION GetHeadPosition() const { return m_list.GetHeadPosition(); }
    // Returns the string at pos and moves pos on (null after the last).
    const CString& GetNext(POSITION& pos) const { return *m_list.GetNext(pos); }
    const CString& GetAt(POSITION pos) const { return *m_list.GetAt(pos); }

    // The first position after startAfter (or from the head) holding text,
    // compared with exact case; null when there is none.
    POSITION Find(const char* text, POSITION startAfter = nullptr) const
    {
        POSITION pos = startAfter;
        if (pos)
            m_list.GetNext(pos);
        else
            pos = m_list.GetHeadPosition();
        while (pos) {
            POSITION here = pos;
            if (m_list.GetNext(pos)->Compare(text) == 0)
                return here;
        }
        return nullptr;
    }

private:
    static CString Take(CString* item)
    {
        CString text = item ? *item : CString();
        delete item;
        return text;
    }

    CTypedPtrList<CString> m_list;
};
