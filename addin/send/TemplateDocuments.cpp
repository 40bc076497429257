// A template's documents, attached to the mail item so that it shows what
// went out, and added to the request's parts for the upload.
#include "addin/send/SendBtn.h"

#include <memory>
#include <new>

#include "addin/send/CollectAttachments.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/HResult.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/requests/BodyPart.h"
#include "shared/requests/TempDoc.h"
#include "shared/service/OpSendDoc.h"
#include "shared/xml/XMLIO.h"

using namespace automation;

namespace {

// The extension a decoded embedded document is saved with: that of its own
// name (".docx" for "nda.docx"), ".pdf" when the name has none. Only
// letters and digits: the extension becomes part of a file name pattern.
CString ExtensionOf(const CString& name)
{
    const int dot = name.ReverseFind('.');
    if (dot < 0 || dot + 1 >= name.GetLength())
        return ".pdf";
    const CString extension = name.Mid(dot + 1);
    for (int i = 0; i < extension.GetLength(); ++i) {
        const char ch = extension[i];
        if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')))
            return ".pdf";
    }
    return "." + extension;
}

} // namespace

HRESULT CSendBtn::AttachDocument(OpSendDoc& request, const CTempDoc& document)
{
    IDispatch* item = m_sendItem.Get();
    CString file = document.m_kind == CTempDoc::kEmbedded && !document.m_embeddedPath.IsEmpty()
                       ? document.m_embeddedPath
                       : document.m_key;
    CString decoded;
    const int dot = file.ReverseFind('.');
    if (dot >= 0 && file.Mid(dot).CompareNoCase(".tmp") == 0) {
        // The template's bytes, kept as base64: the document as its own
        // kind of file (its name says which), not always a PDF.
        RETURN_IF_FAILED(CXMLIO::DecodeFileToTemp(file, ExtensionOf(document.m_name), decoded));
        file = decoded;
    }
    CVariant attachments;
    HRESULT hr = GetProp(item, L"Attachments", attachments.Put());
    if (SUCCEEDED(hr) && !IsObject(attachments))
        hr = E_FAIL;
    // A template may come by mail: its document's name names no place on
    // the disk either.
    const CString documentName = DocumentBaseName(document.m_name, file);
    CVariant added;
    if (SUCCEEDED(hr)) {
        CBstr source(file);
        CBstr name(documentName);
        // Automation order: the last parameter first.
        VARIANT args[] = {BorrowedTextArg(name.Get()), LongArg(ol::kAttachAtEnd),
                          LongArg(ol::kAttachByValue), BorrowedTextArg(source.Get())};
        hr = CallMethod(attachments.pdispVal, L"Add", added.Put(), 4, args);
    }
    // The item keeps its own copy.
    if (!decoded.IsEmpty())
        DeleteFileA(decoded);
    RETURN_IF_FAILED(hr);
    if (!IsObject(added))
        return E_FAIL;
    CVariant index;
    RETURN_IF_FAILED(GetProp(added.pdispVal, L"Index", index.Put()));
    CVariant number;
    RETURN_IF_FAILED(VariantChangeType(&number, &index, 0, VT_I4));
    auto part = std::unique_ptr<CBodyPart>(new (std::nothrow) CBodyPart(
        added.pdispVal, number.lVal, documentName, "Attachment", document.m_type));
    if (!part)
        return E_OUTOFMEMORY;
    request.AppendPart(part.release());
    return S_OK;
}

HRESULT CSendBtn::AttachTemplateDocuments(OpSendDoc& request)
{
    CLogBlock block("CSendBtn::AttachTemplateDocuments");
    CTemplate& model = request.m_request;
    if (!model.m_signatureDoc || !m_sendItem)
        return E_INVALIDARG;
    if (!(model.m_signatureDoc->m_key == m_attachmentPlaceholder))
        RETURN_IF_FAILED(AttachDocument(request, *model.m_signatureDoc));
    if (model.m_referenceDoc)
        RETURN_IF_FAILED(AttachDocument(request, *model.m_referenceDoc));
    if (model.m_infoDoc)
        RETURN_IF_FAILED(AttachDocument(request, *model.m_infoDoc));
    RETURN_IF_FAILED(SetItemProperty(L"Subject", model.m_subject, FALSE));
    if (!model.m_message.IsEmpty())
        RETURN_IF_FAILED(SetItemProperty(L"Body", model.m_message, FALSE));
    return CallMethod(m_sendItem.Get(), L"Save", nullptr, 0, nullptr);
}
