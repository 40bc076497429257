// CFileMgr: names the temporary files through which everything the system
// hands on travels (documents, request pieces, the message body).
#pragma once

#include "shared/XMLIO.h"

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
