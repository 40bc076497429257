// CCastlet: one piece of a queued request (its head, recipient lists, tail
// or send options), kept in a file of its own so the agent can put each
// target's file ID or recipients between the pieces later.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"
#include "classlib/win32/Handles.h"
#include "shared/requests/FileMgr.h"

class CCastlet : public CFileMgr {
public:
    explicit CCastlet(const char* name) : m_name(name ? name : "") {}
    CCastlet(const CCastlet&) = delete;
    CCastlet& operator=(const CCastlet&) = delete;
    // Closes the file; deletes it when the delete flag is set.
    ~CCastlet() override;

    // Creates a new ".xml" file in the temporary folder for writing and keeps
    // its path and handle. Never opens an existing file: a name that is
    // already taken is replaced by a fresh one. 0 or E_FAIL.
    HRESULT Open();
    // Creates a new file in the temporary folder whose name ends in suffix
    // (".xml") and gives its path; INVALID_HANDLE_VALUE on failure. While a
    // name clashes with a stale file its reservation is held, so the next
    // try is given another name.
    static HANDLE CreateNew(const char* suffix, CString& path);
    HANDLE Handle() const { return m_file.Get(); }
    void CloseFile() { m_file.Reset(); }

    CString m_name;
    CString m_path;
    CFileHandle m_file;
    int m_delete = 0;
};
