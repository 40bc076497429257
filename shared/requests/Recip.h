// CRecip: one signer of a template, or one recipient of the request being
// built. The two meet during template matching, where each side may point
// at its partner on the other side.
#pragma once

#include "classlib/strings/CStringList.h"
#include "shared/xml/XMLIO.h"

class CRecip : public CXMLElem {
public:
    CRecip() = default;
    explicit CRecip(const char* elementName) : CXMLElem(elementName) {}
    CRecip(const CRecip& other) : CXMLElem() { *this = other; }
    // Copies every record field, the partner included; the other record's
    // choices are appended to this one's. May throw std::bad_alloc.
    CRecip& operator=(const CRecip& other);

    // What the wizard rows are keyed by: the name, or the address when the
    // signer has no name.
    const CString& RowKey() const { return m_name.IsEmpty() ? m_email : m_name; }

    // m_first, m_second and the m_stringN fields mirror the record's layout:
    // they keep the places of fields that nothing in the system gives a
    // meaning, so the named ones stay in their order, and copies carry them
    // along.
    int m_first = 1;
    int m_skip = 0; // no sequence number, not written to a template file
    int m_second = 0;
    int m_sender = 0;   // stands for the sending user
    int m_fromMail = 0; // taken from the mail item
    CString m_name;
    CString m_string1;
    CString m_email; // the matching key
    CString m_role;
    CString m_string2;
    CString m_string3;
    CString m_string4;
    CStringList m_choices; // roles template matching offers this recipient
    int m_recipType = 1;   // 1 To, 2 Cc, 3 Bcc
    CString m_string5;
    CString m_string6;
    int m_sequence = -1; // signing order; -1 is no signer
    CString m_sequenceText;
    int m_hardCoded = 0; // template: added to every request; request: added by a template
    CString m_string7 = "no";
    CRecip* m_partner = nullptr; // not owned
};
