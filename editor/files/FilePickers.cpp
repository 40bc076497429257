#include "editor/files/FilePickers.h"

#include <commdlg.h>

#include "classlib/ui/CFileDialog.h"

namespace {

INT_PTR PickFile(HWND parent, const char* title, const char* extension, const char* filter,
                 CString& name, CString& path)
{
    CFileDialog dialog(TRUE, extension, nullptr,
                       OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ENABLESIZING, filter, parent);
    dialog.SetTitle(title);
    const INT_PTR result = dialog.DoModal();
    if (result == IDOK) {
        path = dialog.GetPathName();
        name = dialog.GetFileName();
    }
    return result;
}

} // namespace

INT_PTR PickDocumentFile(HWND parent, CString& name, CString& path)
{
    return PickFile(parent, "Open e-Signature TempDoc", "pdf",
                    "PDF Files (*.pdf)|*.pdf|All Files (*.*)|*.*||", name, path);
}

INT_PTR PickTemplateFile(HWND parent, CString& name, CString& path)
{
    return PickFile(parent, "Open Inkstave Template", "xml",
                    "Template Files (*.xml)|*.xml|All Files (*.*)|*.*||", name, path);
}
