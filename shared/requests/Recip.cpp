#include "shared/requests/Recip.h"

CRecip& CRecip::operator=(const CRecip& other)
{
    if (this == &other)
        return *this;
    m_first = other.m_first;
    m_skip = other.m_skip;
    m_second = other.m_second;
    m_sender = other.m_sender;
    m_fromMail = other.m_fromMail;
    m_name = other.m_name;
    m_string1 = other.m_string1;
    m_email = other.m_email;
    m_role = other.m_role;
    m_string2 = other.m_string2;
    m_string3 = other.m_string3;
    m_string4 = other.m_string4;
    for (POSITION pos = other.m_choices.GetHeadPosition(); pos;)
        m_choices.AddTail(other.m_choices.GetNext(pos));
    m_recipType = other.m_recipType;
    m_string5 = other.m_string5;
    m_string6 = other.m_string6;
    m_sequence = other.m_sequence;
    m_sequenceText = other.m_sequenceText;
    m_hardCoded = other.m_hardCoded;
    m_string7 = other.m_string7;
    m_partner = other.m_partner;
    return *this;
}
