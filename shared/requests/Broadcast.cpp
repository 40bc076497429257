#include "shared/requests/Broadcast.h"

#include "shared/requests/Castlet.h"
#include "shared/config/Config.h"
#include "shared/service/OpSendDoc.h"

CBroadcast::~CBroadcast()
{
    if (!m_deletePath.IsEmpty())
        DeleteFileA(m_deletePath);
}

const char* CBroadcast::Write(const OpSendDoc& request)
{
    Close();
    // A new file, never one left from an earlier broadcast.
    CString path;
    HANDLE file = CCastlet::CreateNew(".xml", path);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    m_filePath = path;
    m_output.Reset(file);
    m_broadcastPath = m_filePath;

    CString makeReceipt;
    makeReceipt.Format("%d", static_cast<int>(CConfig().GetMakeReceipt()));
    const CSendOptions& options = request.m_request.m_sendOptions;
    // The agent reads this file as XML: paths and texts are escaped.
    HRESULT hr = WriteElement(nullptr, "<inkBroadcast>", FALSE, FALSE);
    if (SUCCEEDED(hr))
        hr = WriteElement("CreateSignature", m_createSignaturePath, FALSE, TRUE);
    for (POSITION pos = m_addDocumentPaths.GetHeadPosition(); pos && SUCCEEDED(hr);)
        hr = WriteElement("AddDocument", m_addDocumentPaths.GetNext(pos), FALSE, TRUE);
    const struct {
        const char* tag;
        const char* value;
    } kLines[] = {{"SetParams", m_setParamsPath},
                  {"GetLink", m_getLinkPath},
                  {"SendInvite", m_sendInvitePath},
                  {"EntryID", m_entryId},
                  {"MakeReceipt", makeReceipt},
                  {"ReceiptSubject", options.m_receiptSubject},
                  {"ReceiptCategory", options.m_categoryTags}};
    for (const auto& line : kLines) {
        if (SUCCEEDED(hr))
            hr = WriteElement(line.tag, line.value, FALSE, TRUE);
    }
    if (SUCCEEDED(hr))
        hr = WriteElement(nullptr, "</inkBroadcast>", FALSE, FALSE);
    Close();
    if (FAILED(hr)) {
        DeleteFileA(m_broadcastPath);
        m_broadcastPath.Empty();
        return nullptr;
    }
    return m_broadcastPath;
}
