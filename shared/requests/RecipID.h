// CRecipID: one recipient's name parts and address.
#pragma once

#include "classlib/strings/CObject.h"
#include "classlib/strings/CString.h"

class CRecipID : public CObject {
public:
    CRecipID() = default;

    // Stores the full name and, unless both name parts are known already,
    // splits "Last, First" (the full name becomes "First Last") or
    // "First Rest Of Name" at the first blank. A single word leaves the
    // parts as they are. Null does nothing.
    void SplitFullName(const char* fullName);
    // Null is ignored.
    void SetEmail(const char* email);

    CString m_firstName;
    CString m_lastName;
    CString m_fullName;
    CString m_email;
    // Kept with the record; nothing here sets it.
    CString m_extra;
};
