#include "shared/requests/RecipID.h"

void CRecipID::SplitFullName(const char* fullName)
{
    if (!fullName)
        return;
    m_fullName = fullName;
    if (!m_firstName.IsEmpty() && !m_lastName.IsEmpty())
        return;
    int comma = m_fullName.Find(", ");
    if (comma >= 0) {
        m_lastName = m_fullName.Left(comma);
        m_firstName = m_fullName.Mid(comma + 2);
        m_fullName = m_firstName + " " + m_lastName;
        return;
    }
    int blank = m_fullName.Find(' ');
    if (blank >= 0) {
        m_firstName = m_fullName.Left(blank);
        m_lastName = m_fullName.Mid(blank + 1);
    }
}

void CRecipID::SetEmail(const char* email)
{
    if (email)
        m_email = email;
}
