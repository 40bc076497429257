#include "shared/requests/Castlet.h"

CCastlet::~CCastlet()
{
    m_file.Reset();
    if (m_delete && !m_path.IsEmpty())
        DeleteFileA(m_path);
}

HANDLE CCastlet::CreateNew(const char* suffix, CString& path)
{
    return CreateNewTempFile(nullptr, suffix, path);
}

HRESULT CCastlet::Open()
{
    m_file.Reset();
    // A stale piece of an earlier broadcast may hold the name the system
    // offers; writing over it would leave its longer tail in the request.
    CString path;
    HANDLE file = CreateNew(".xml", path);
    if (file == INVALID_HANDLE_VALUE)
        return E_FAIL;
    m_file.Reset(file);
    m_path = path;
    m_filePath = path;
    return S_OK;
}
