#include "shared/requests/TempDoc.h"

CTempDoc& CTempDoc::operator=(const CTempDoc& other)
{
    if (this == &other)
        return *this;
    m_key = other.m_key;
    m_name = other.m_name;
    m_string1 = other.m_string1;
    m_string2 = other.m_string2;
    m_embeddedPath = other.m_embeddedPath;
    m_type = other.m_type;
    m_int1 = other.m_int1;
    m_string3 = other.m_string3;
    m_int2 = other.m_int2;
    m_int3 = other.m_int3;
    m_fromTemplate = other.m_fromTemplate;
    m_kind = other.m_kind;
    return *this;
}

CTempDoc::~CTempDoc()
{
    if (m_ownsEmbedded && !m_embeddedPath.IsEmpty())
        DeleteFileA(m_embeddedPath);
}
