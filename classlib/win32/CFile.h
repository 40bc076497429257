// CFile: owns one Win32 file handle, opened with the familiar mode flags.
// Read and Write return what they moved; the others return BOOL as the
// Win32 calls they wrap (GetLastError tells why).
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"
#include "classlib/win32/Handles.h"

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        shareMask = 0x0070,      // where the share mode is among the flags
        modeNoInherit = 0x0080,  // handles are never inherited; accepted as given
        modeCreate = 0x1000,     // create; truncates unless modeNoTruncate
        modeNoTruncate = 0x2000, // with modeCreate: open an existing file as it is
        typeText = 0x4000,       // accepted for its callers; files are binary
        typeBinary = 0x8000,
        modeCreateNew = 0x10000, // create only when no file of that name exists
    };

    enum SeekPosition { begin = FILE_BEGIN, current = FILE_CURRENT, end = FILE_END };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile() = default;

    // Opens (or creates) path with the given OpenFlags; FALSE on failure.
    BOOL Open(const char* path, UINT flags);
    void Close();
    // Closes the file and takes the handle away from this object.
    HANDLE Detach();

    bool IsOpen() const { return m_handle.IsValid(); }
    HANDLE GetHandle() const { return m_handle.Get(); }
    const CString& GetFilePath() const { return m_path; }

    // Bytes read, 0 at the end or on failure.
    UINT Read(void* buffer, UINT count);
    // TRUE when every byte was written.
    BOOL Write(const void* buffer, UINT count);
    BOOL Write(const CString& text) { return Write(text.GetString(), text.GetLength()); }

    // The new position from the start, or -1 on failure.
    LONGLONG Seek(LONGLONG offset, SeekPosition from);
    void SeekToBegin() { Seek(0, begin); }
    LONGLONG SeekToEnd() { return Seek(0, end); }
    LONGLONG GetPosition() const;
    LONGLONG GetLength() const;
    BOOL SetLength(LONGLONG length);
    BOOL Flush();

    static BOOL Remove(const char* path) { return DeleteFileA(path); }

private:
    CFileHandle m_handle;
    CString m_path;
};
