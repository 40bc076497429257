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
    m_browsed = other.m_browsed;
    m_embeddedOwner = other.m_embeddedOwner;
    return *this;
}

void CTempDoc::TakeEmbeddedFile(const CString& path)
{
    m_embeddedOwner.reset(new CString(path), [](const CString* file) {
        if (!file->IsEmpty())
            DeleteFileA(*file);
        delete file;
    });
    m_embeddedPath = path;
}

void CTempDoc::DropEmbeddedFile()
{
    m_embeddedOwner.reset();
    m_embeddedPath.Empty();
}
