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

HRESULT OpenDocument(const CTempDoc& document)
{
    const CString& embedded = document.m_embeddedPath;
    if (embedded.IsEmpty())
        return document.m_key.IsEmpty() ? E_FAIL : LaunchApp(document.m_key);
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
    return LaunchApp(copy);
}
