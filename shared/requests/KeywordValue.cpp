#include "shared/requests/KeywordValue.h"

CKeywordValue& CKeywordValue::operator=(const CKeywordValue& other)
{
    if (this == &other)
        return *this;
    m_key = other.m_key;
    m_label = other.m_label;
    m_value = other.m_value;
    m_previous = other.m_previous;
    m_string3 = other.m_string3;
    m_type = other.m_type;
    m_prompt = other.m_prompt;
    m_pattern = other.m_pattern;
    m_errorMessage = other.m_errorMessage;
    m_string6 = other.m_string6;
    m_string7 = other.m_string7;
    m_int1 = other.m_int1;
    m_choice = other.m_choice;
    m_skip = other.m_skip;
    m_selected = other.m_selected;
    m_choices.RemoveAll();
    for (POSITION pos = other.m_choices.GetHeadPosition(); pos;)
        m_choices.AddTail(other.m_choices.GetNext(pos));
    m_tag = other.m_tag;
    return *this;
}
