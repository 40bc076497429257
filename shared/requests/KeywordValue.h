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
    CString m_key;   // what the row is about (a signer's name, "Mode", ...)
    CString m_label; // shown in place of the key when not empty
    CString m_value;
    CString m_previous; // the value when an edit began, for an edit refused
    CString m_string3;
    CString m_type = "Text"; // "Text", "List" or "Date" (or "Checkbox", "Radio")
    CString m_prompt;        // shown while the value is empty
    CString m_pattern;       // a value must match it (CRegExp syntax); empty: anything
    CString m_errorMessage;  // shown when a value does not match the pattern
    CString m_string6;
    CString m_string7;
    int m_int1 = 0;
    int m_choice = 1; // a role-choice row; the user may edit the value of such rows only
    int m_skip = 0;   // does not count as taking a role
    int m_selected = -1;
    CStringList m_choices; // the options of a "List" row
    // The message the owner page gets when the user changed the value
    // (WM_USER+20 for role rows), 0 for none.
    int m_tag = 0;
};
