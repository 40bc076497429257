// CKeywordValue: one row of the wizard's template-values list.
#pragma once

#include "classlib/strings/CStringList.h"

class CKeywordValue {
public:
    // The tag of rows where the user picks a signer's role.
    static constexpr int kRoleRowTag = 1044;

    CKeywordValue() = default;
    CKeywordValue(const CKeywordValue& other) { *this = other; }
    // The other row's choices replace this one's. May throw std::bad_alloc.
    CKeywordValue& operator=(const CKeywordValue& other);

    bool IsRoleRow() const { return m_tag == kRoleRowTag; }

    // The m_stringN and m_intN fields mirror the record's layout: they keep
    // the places of fields that nothing in the system gives a meaning, so
    // the named ones stay in their order, and copies carry them along.
    CString m_key; // the label
    CString m_string1;
    CString m_value;
    CString m_string2;
    CString m_string3;
    CString m_type = "Text"; // "Text", "List" or "Date"
    CString m_prompt;        // shown while the value is empty
    CString m_string4;
    CString m_string5;
    CString m_string6;
    CString m_string7;
    int m_int1 = 0;
    int m_choice = 1; // a role-choice row
    int m_skip = 0;   // does not count as taking a role
    int m_selected = -1;
    CStringList m_choices;
    int m_tag = 0;
};
