// CFileMgr: names the temporary files through which everything the system
// hands on travels (documents, request pieces, the message body).
//
// Names are the prefix's first three letters and 16 hexadecimal digits that
// differ from call to call and from process to process ("Qui0F3A...C2.tmp"),
// and every file is made with CREATE_NEW, so a name is never taken over and
// never runs out: the system's own temporary names have 65,535 of them per
// prefix, and a folder crowded with them makes each new one slower until
// none is left.
#pragma once

#include "shared/xml/XMLIO.h"

class CFileMgr : public CXMLIO {
public:
    CFileMgr() = default;
    explicit CFileMgr(const char* folder) : m_folder(folder) {}

    // Makes a unique name with the prefix "Quill" in the folder (the system's
    // temporary folder when none was given). Without a format an empty
    // ".tmp" file reserves the name and stays; with one the name is
    // reshaped and no file is made: a format with "%" receives the bare name
    // ("Signed Copy %s.pdf"), any other replaces ".tmp" (".xml"). The
    // reshaped name is free when it is handed out; its caller creates it.
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

// Creates a new, empty file with a temporary name of prefix ("Quill" when
// null) ending in suffix (".xml"; ".tmp" when null) in folder (the
// temporary folder when null or empty) and opens it for writing, unshared.
// A file that exists already is never opened: another name is tried. The
// handle (the caller closes it) or INVALID_HANDLE_VALUE; path receives the
// name.
HANDLE CreateNewTempFile(const char* folder, const char* suffix, CString& path,
                         const char* prefix = nullptr);

// Whether path names one of the files the add-in hands to the agent (the
// broadcast file, the operation files and the request pieces, all made by
// CreateNewTempFile with the prefix "Quill", ending in ".xml" or ".tmp"):
// directly in the user's temporary folder, written out in full as that
// folder is (no relative part, no "." or "..", no other separator, no UNC
// or device path), named exactly as those files are, and, when it exists,
// a plain file (no folder, no link to elsewhere). The agent reads, sends
// and deletes nothing else: whatever names a file reaches it (its command
// line, the broadcast, an operation file) is input, and a user's own
// document must never be taken for one of its pieces.
bool IsAddinTempFile(const char* path);
// What a reader answers for a name IsAddinTempFile refuses.
inline constexpr HRESULT kNotAddinFile = E_ACCESSDENIED;
