#include "editor/files/OpenDocument.h"

#include "classlib/strings/CString.h"
#include "editor/files/LaunchApp.h"
#include "shared/requests/TempDoc.h"
#include "shared/xml/XMLIO.h"

namespace {

CString ExtensionOf(const CString& path)
{
    const int dot = path.ReverseFind('.');
    const int slash = path.ReverseFind('\\');
    return dot < 0 || dot < slash ? CString() : path.Mid(dot + 1);
}

} // namespace

CDocumentCopies::~CDocumentCopies()
{
    for (const CString& path : m_paths)
        DeleteFileA(path);
}

void CDocumentCopies::Add(const CString& path)
{
    m_paths.push_back(path);
}

bool CanOpenDocument(const CTempDoc& document)
{
    return !document.m_embeddedPath.IsEmpty() || (document.m_browsed && !document.m_key.IsEmpty());
}

HRESULT OpenDocument(const CTempDoc& document, CDocumentCopies& copies)
{
    if (!CanOpenDocument(document))
        return E_ACCESSDENIED;
    const CString& embedded = document.m_embeddedPath;
    if (embedded.IsEmpty())
        return LaunchApp(document.m_key);
    if (ExtensionOf(embedded).CompareNoCase("tmp") != 0)
        return LaunchApp(embedded);

    // The name comes with the template: only a document extension names the
    // copy (it is letters and digits, so nothing in it can shape the name
    // any other way).
    CString extension = ExtensionOf(document.m_name);
    if (extension.IsEmpty())
        extension = "pdf";
    if (!IsDocumentExtension(extension))
        return E_INVALIDARG;
    CString copy;
    const HRESULT hr = CXMLIO::DecodeFileToTemp(embedded, "." + extension, copy);
    if (FAILED(hr))
        return hr;
    copies.Add(copy);
    return LaunchApp(copy);
}
