#include "editor/files/FilePickers.h"

#include <commdlg.h>

#include "classlib/ui/CFileDialog.h"
#include "editor/EditorResource.h"

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

std::unique_ptr<CTempDoc> PickedDocument(const CString& name, const CString& path, const char* type)
{
    auto record = std::make_unique<CTempDoc>();
    record->m_name = name;
    record->m_key = path;
    record->m_string1.LoadString(IDS_LOCAL_TEMPLATE);
    record->m_kind = CTempDoc::kEmbedded;
    record->m_browsed = true;
    if (type)
        record->m_type = type;
    return record;
}
