#include "classlib/ui/CFileDialog.h"

#include <commdlg.h>
#include <vector>

CFileDialog::CFileDialog(BOOL openFile, const char* defaultExtension, const char* fileName,
                         DWORD flags, const char* filter, HWND parent)
    : m_open(openFile), m_defaultExtension(defaultExtension ? defaultExtension : ""),
      m_filter(filter ? filter : ""), m_flags(flags), m_parent(parent),
      m_path(fileName ? fileName : "")
{
    m_filter.Replace('|', '\0');
}

INT_PTR CFileDialog::DoModal()
{
    std::vector<char> file(MAX_PATH * 2, '\0');
    lstrcpynA(file.data(), m_path, static_cast<int>(file.size()));
    // The filter ends in two zeros whether or not the text did.
    std::string filter(m_filter.GetString(), m_filter.GetLength());
    filter.append(2, '\0');
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_parent;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = m_title.IsEmpty() ? nullptr : m_title.GetString();
    ofn.lpstrDefExt = m_defaultExtension.IsEmpty() ? nullptr : m_defaultExtension.GetString();
    ofn.Flags = m_flags | OFN_EXPLORER;
    const BOOL chosen = m_open ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn);
    if (!chosen)
        return IDCANCEL;
    m_path = file.data();
    return IDOK;
}

CString CFileDialog::GetFileName() const
{
    const int slash = m_path.ReverseFind('\\');
    return slash < 0 ? m_path : m_path.Mid(slash + 1);
}
