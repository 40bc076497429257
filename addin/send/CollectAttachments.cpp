#include "addin/send/CollectAttachments.h"

#include <new>

#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "classlib/strings/LoadText.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/SharedResource.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/requests/BodyPart.h"
#include "shared/requests/FileMgr.h"
#include "shared/service/OpSendDoc.h"

using namespace automation;

namespace {

constexpr char kAttachmentKind[] = "Attachment";

} // namespace

CString DocumentBaseName(const char* name, const char* fallback)
{
    const auto base = [](const char* text) {
        const char* rest = text ? text : "";
        // By characters, not bytes: a double-byte character's second byte
        // may be a backslash's.
        for (const char* at = rest; *at; at = CharNextA(at)) {
            if (*at == '\\' || *at == '/' || *at == ':')
                rest = at + 1;
        }
        return CString(rest);
    };
    const CString own = base(name);
    return own.IsEmpty() ? base(fallback) : own;
}

bool FindEmptyAttachment(const OpSendDoc& request, CString& name)
{
    name.Empty();
    for (CBodyPart* part : request.m_parts) {
        if (!(part->m_kind == kAttachmentKind))
            continue;
        CString path;
        HANDLE created = CreateNewTempFile(nullptr, nullptr, path, "qlt");
        if (created == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(created);
        WIN32_FILE_ATTRIBUTE_DATA saved{};
        const bool empty = SUCCEEDED(part->SaveAsFile(path)) &&
                           GetFileAttributesExA(path, GetFileExInfoStandard, &saved) &&
                           saved.nFileSizeLow == 0 && saved.nFileSizeHigh == 0;
        DeleteFileA(path);
        if (empty) {
            name = part->m_fileName;
            return true;
        }
    }
    return false;
}

bool IsAcceptedFileType(const char* fileName, const CString& fileTypes)
{
    const CString name(fileName ? fileName : "");
    const int dot = name.ReverseFind('.');
    if (dot < 0)
        return false;
    if (fileTypes == "*")
        return true;
    // An empty extension would match every list at its commas.
    const CString extension = name.Mid(dot + 1);
    if (extension.IsEmpty())
        return false;
    return (fileTypes + ",").Find(extension + ",") >= 0;
}

HRESULT CollectAttachments(IDispatch* mail, OpSendDoc* request, int& count, CString& unsupported)
{
    count = 0;
    unsupported.Empty();
    if (!mail || !request)
        return E_POINTER;
    // What was left out is taken off the count however the walk ends.
    int leftOut = 0;
    HRESULT hr = S_OK;
    try {
        const CString messageBody = LoadText(IDS_MESSAGE_BODY, "Message Body");
        hr = request->AddPart(mail, 0, messageBody, messageBody);
        if (FAILED(hr))
            return hr;

        CVariant attachments;
        hr = CDispatcher::GetProp(mail, L"Attachments", attachments.Put());
        if (FAILED(hr))
            return hr;
        if (!IsObject(attachments))
            return S_OK;
        long total = 0;
        hr = CDispatcher::GetLongProp(attachments.pdispVal, L"Count", total);
        if (FAILED(hr))
            return hr;
        count = static_cast<int>(total);
        hr = S_OK;

        CString fileTypes;
        CConfig().GetFileTypes(fileTypes);
        for (long i = 1; i <= total; ++i) {
            VARIANT index[] = {LongArg(i)};
            CVariant attachment;
            if (FAILED(CDispatcher::CallMethod(attachments.pdispVal, L"Item", attachment.Put(), 1,
                                               index)) ||
                !IsObject(attachment))
                continue;
            IDispatch* file = attachment.pdispVal;
            long type = 0;
            if (FAILED(CDispatcher::GetLongProp(file, L"Type", type)) ||
                (type != ol::kAttachByValue && type != ol::kAttachByReference))
                continue;
            long position = 0;
            if (FAILED(CDispatcher::GetLongProp(file, L"Index", position)))
                continue;
            CString fileName;
            const bool named = SUCCEEDED(CDispatcher::GetTextProp(file, L"FileName", fileName));
            if (named && IsAcceptedFileType(fileName, fileTypes)) {
                CString displayName;
                if (FAILED(CDispatcher::GetTextProp(file, L"DisplayName", displayName)))
                    continue;
                hr = request->AddPart(file, position, DocumentBaseName(displayName, fileName),
                                      kAttachmentKind);
                if (FAILED(hr))
                    break;
                continue;
            }
            ++leftOut;
            if (!unsupported.IsEmpty())
                unsupported += ",";
            unsupported += fileName;
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    count -= leftOut;
    return hr;
}
