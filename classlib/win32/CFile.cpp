#include "classlib/win32/CFile.h"

BOOL CFile::Open(const char* path, UINT flags)
{
    Close();
    if (!path)
        return FALSE;

    DWORD access = GENERIC_READ;
    if (flags & modeWrite)
        access = GENERIC_WRITE;
    else if (flags & modeReadWrite)
        access = GENERIC_READ | GENERIC_WRITE;

    DWORD share = 0;
    switch (flags & shareMask) {
    case shareDenyWrite:
        share = FILE_SHARE_READ;
        break;
    case shareDenyRead:
        share = FILE_SHARE_WRITE;
        break;
    case shareDenyNone:
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    default:
        break; // exclusive and compatibility: no sharing
    }

    DWORD disposition = OPEN_EXISTING;
    if (flags & modeCreateNew)
        disposition = CREATE_NEW;
    else if (flags & modeCreate)
        disposition = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    HANDLE handle =
        CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FALSE;
    m_handle.Reset(handle);
    m_path = path;
    return TRUE;
}

void CFile::Close()
{
    m_handle.Reset();
    m_path.Empty();
}

HANDLE CFile::Detach()
{
    m_path.Empty();
    return m_handle.Detach();
}

UINT CFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!ReadFile(m_handle.Get(), buffer, count, &read, nullptr))
        return 0;
    return read;
}

BOOL CFile::Write(const void* buffer, UINT count)
{
    const BYTE* bytes = static_cast<const BYTE*>(buffer);
    while (count > 0) {
        DWORD written = 0;
        if (!WriteFile(m_handle.Get(), bytes, count, &written, nullptr) || written == 0)
            return FALSE;
        bytes += written;
        count -= written;
    }
    return TRUE;
}

LONGLONG CFile::Seek(LONGLONG offset, SeekPosition from)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(m_handle.Get(), distance, &position, from))
        return -1;
    return position.QuadPart;
}

LONGLONG CFile::GetPosition() const
{
    LARGE_INTEGER zero{};
    LARGE_INTEGER position;
    if (!SetFilePointerEx(m_handle.Get(), zero, &position, FILE_CURRENT))
        return -1;
    return position.QuadPart;
}

LONGLONG CFile::GetLength() const
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_handle.Get(), &size))
        return -1;
    return size.QuadPart;
}

BOOL CFile::SetLength(LONGLONG length)
{
    LONGLONG here = GetPosition();
    if (Seek(length, begin) < 0 || !SetEndOfFile(m_handle.Get()))
        return FALSE;
    if (here >= 0 && here < length)
        Seek(here, begin);
    return TRUE;
}

BOOL CFile::Flush()
{
    return FlushFileBuffers(m_handle.Get());
}
