// CRole: a role a template offers, with the signing order it carries.
#pragma once

#include "classlib/strings/CString.h"

class CRole {
public:
    CString m_name;
    int m_sequence = -1;
    CString m_sequenceText;
};
