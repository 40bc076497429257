// CFileDialog: the common open-file dialog. The filter is given as pairs of
// description and pattern separated by "|" and ended by "||" ("PDF Files
// (*.pdf)|*.pdf|All Files (*.*)|*.*||").
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

class CFileDialog {
public:
    // openFile TRUE: an open dialog (the only kind the system shows).
    CFileDialog(BOOL openFile, const char* defaultExtension, const char* fileName, DWORD flags,
                const char* filter, HWND parent);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    void SetTitle(const char* title) { m_title = title ? title : ""; }
    // IDOK when a file was chosen, IDCANCEL otherwise (a failure of the
    // dialog itself included).
    INT_PTR DoModal();

    // After IDOK: the full path, and its file name with the extension.
    CString GetPathName() const { return m_path; }
    CString GetFileName() const;

private:
    BOOL m_open;
    CString m_defaultExtension;
    CString m_filter; // "|" already turned into the zero separators
    DWORD m_flags;
    HWND m_parent;
    CString m_title;
    CString m_path;
};
