// CFileMgr: names the temporary files through which everything the system
// hands on travels (documents, request pieces, the message body).
#pragma once

#include "shared/xml/XMLIO.h"

class CFileMgr : public CXMLIO {
public:
    CFileMgr() = default;
    explicit CFileMgr(const char* folder) : m_folder(folder) {}

    // Makes a unique name with the prefix "Quill" in the folder (the system's
    // temporary folder when none was given). Without a format the empty file
    // that reserves the name stays; with one it is removed again and the name
    // is reshaped: a format with "%" receives the bare name ("Signed Copy
    // %s.pdf"), any other replaces ".tmp" (".xml"); that name is not created.
    // 1 on success, 0 on failure.
    int MakeTempName(const char* format);

    const CString& GetFilePath() const { return m_filePath; }
    const CString& GetFolder() const { return m_folder; }

protected:
    CString m_filePath;
    CString m_folder;
};

// The user's temporary folder with its closing backslash; false when the
// system cannot give one.
bool GetTempFolder(CString& folder);

// Creates a new, empty file with a temporary ("Quill") name ending in suffix
// (".xml") in folder (the temporary folder when null or empty) and opens it
// for writing, unshared. The suffixed twin of a system-made name is not
// reserved by the system, so a file left by an earlier run may already carry
// it: such a file is never opened. The reserving ".tmp" files are held while
// trying, so each try gets another name, and removed after. The handle (the
// caller closes it) or INVALID_HANDLE_VALUE; path receives the name.
HANDLE CreateNewTempFile(const char* folder, const char* suffix, CString& path);
