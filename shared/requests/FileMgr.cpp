#include "shared/requests/FileMgr.h"

#include <vector>

bool GetTempFolder(CString& folder)
{
    char path[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof path, path);
    if (length == 0 || length >= sizeof path)
        return false;
    folder = CString(path, static_cast<int>(length));
    return true;
}

namespace {

// The system's temporary names end in ".tmp" (in whatever case it likes).
void StripTmpSuffix(CString& name)
{
    if (name.GetLength() >= 4 && name.Right(4).CompareNoCase(".tmp") == 0)
        name = name.Left(name.GetLength() - 4);
}

} // namespace

int CFileMgr::MakeTempName(const char* format)
{
    if (m_folder.IsEmpty() && !GetTempFolder(m_folder))
        return 0;

    char name[MAX_PATH];
    if (!GetTempFileNameA(m_folder, "Quill", 0, name))
        return 0;
    m_filePath = name;
    if (!format)
        return 1;

    DeleteFileA(name);
    if (CString(format).Find('%') >= 0) {
        CString bare = m_filePath;
        int slash = bare.ReverseFind('\\');
        if (slash >= 0)
            bare = bare.Mid(slash + 1);
        StripTmpSuffix(bare);
        CString folder = m_filePath.Left(slash + 1);
        CString shaped;
        shaped.Format(format, bare.GetString());
        m_filePath = folder + shaped;
    } else {
        StripTmpSuffix(m_filePath);
        m_filePath += format;
    }
    return 1;
}

HANDLE CreateNewTempFile(const char* folder, const char* suffix, CString& path)
{
    constexpr int kAttempts = 256;
    std::vector<CString> reserved;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        CFileMgr names(folder ? folder : "");
        if (!names.MakeTempName(nullptr))
            break;
        reserved.push_back(names.GetFilePath());
        CString candidate = names.GetFilePath();
        StripTmpSuffix(candidate);
        candidate += suffix ? suffix : "";
        file = CreateFileA(candidate, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            path = candidate;
            break;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    for (const CString& name : reserved)
        DeleteFileA(name);
    return file;
}
