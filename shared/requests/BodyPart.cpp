#include "shared/requests/BodyPart.h"

#include <new>

#include "classlib/com/CBstr.h"
#include "classlib/strings/LoadText.h"
#include "classlib/win32/CFile.h"
#include "classlib/win32/LastError.h"
#include "shared/log/DebugLog.h"
#include "shared/requests/FileMgr.h"

namespace {

constexpr UINT kMessageUnspecifiedId = 19000;
// Each deliverable's string table holds the text; a program without one
// still says what it means.
CString MessageUnspecified()
{
    return LoadText(kMessageUnspecifiedId, "message unspecified");
}

} // namespace

CBodyPart::CBodyPart(IDispatch* object, LONG index, const char* fileName, const char* kind,
                     const char* documentType)
    : m_object(object), m_index(index), m_fileName(fileName), m_kind(kind),
      m_documentType(documentType)
{
    const int dot = m_fileName.ReverseFind('.');
    m_extension = dot >= 0 ? m_fileName.Mid(dot + 1) : CString("pdf");
}

CBodyPart::~CBodyPart()
{
    m_subParts.RemoveAll();
    if (!m_tempPath.IsEmpty())
        DeleteFileA(m_tempPath);
    m_object.Clear();
}

HRESULT CBodyPart::SaveAsFile(const char* path)
{
    if (!path)
        return E_POINTER;
    wchar_t wide[kMaxSavePath + 1];
    int converted = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path, -1, wide, kMaxSavePath + 1);
    // Windows refuses the flag for a UTF-8 ANSI code page ("Use Unicode
    // UTF-8 for worldwide language support"), whose text is composed anyway.
    if (!converted && GetLastError() == ERROR_INVALID_FLAGS)
        converted = MultiByteToWideChar(CP_ACP, 0, path, -1, wide, kMaxSavePath + 1);
    if (!converted) {
        if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            TheLog().Error("CBodyPart::SaveAsFile: the path is too long");
            return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        }
        return HResultFromLastError();
    }
    CVariant target;
    target.vt = VT_BSTR;
    target.bstrVal = SysAllocString(wide);
    if (!target.bstrVal)
        return E_OUTOFMEMORY;
    CVariant result;
    return CallMethod(Object(), L"SaveAsFile", result.Put(), 1, &target);
}

HRESULT CBodyPart::ReadBody(BOOL useHtml, CString& text)
{
    text.Empty();
    const bool html = useHtml && m_bodyFormat == kBodyFormatHtml;
    CVariant body;
    HRESULT hr = GetProp(Object(), html ? L"HTMLBody" : L"Body", body.Put());
    if (SUCCEEDED(hr) && body.vt == VT_BSTR)
        text = CBstr::ToNarrow(body.bstrVal, SysStringLen(body.bstrVal));
    return hr;
}

HRESULT CBodyPart::WriteBodyToFile(const char* path, const char* prefix, DWORD* length,
                                   BOOL useHtml)
{
    try {
        // Created afresh: a file that held more before keeps no old tail.
        CFile file;
        if (!path || !file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
            return E_OUTOFMEMORY;
        CString text;
        HRESULT hr = ReadBody(useHtml, text);
        if (FAILED(hr))
            return hr;
        if (length) {
            *length = static_cast<DWORD>(text.GetLength());
            if (*length == 0)
                return hr;
        }
        if (text.IsEmpty())
            text = MessageUnspecified();
        if (prefix && !file.Write(CString(prefix)))
            return E_FAIL;
        if (!file.Write(text))
            return E_FAIL;
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CBodyPart::GetBody(CString& text, BOOL sevenBitOnly, BOOL defaultWhenEmpty)
{
    try {
        ReadBody(FALSE, text);
        if (text.IsEmpty()) {
            if (defaultWhenEmpty)
                text = MessageUnspecified();
        } else if (sevenBitOnly) {
            CString plain;
            for (int i = 0; i < text.GetLength(); ++i) {
                if (static_cast<unsigned char>(text[i]) < 0x80)
                    plain += text[i];
            }
            text = plain;
        }
    } catch (const std::bad_alloc&) {
        text.Empty();
    }
    return S_OK;
}

bool CBodyPart::CreateTempFile(const CString& folder, const char* suffix, CString& path)
{
    HANDLE file = CreateNewTempFile(folder, suffix, path);
    if (file == INVALID_HANDLE_VALUE) {
        TheLog().Error("CBodyPart::SaveToTempFile: no free temporary name");
        return false;
    }
    CloseHandle(file);
    return true;
}

int CBodyPart::SaveToTempFile(BOOL body, BOOL useHtml)
{
    try {
        CString folder;
        if (!GetTempFolder(folder))
            return 0;
        const bool html = body && useHtml && m_bodyFormat == kBodyFormatHtml;
        CString path;
        if (!CreateTempFile(folder, html ? ".htm" : nullptr, path))
            return 0;
        const HRESULT hr =
            body ? WriteBodyToFile(path, nullptr, nullptr, useHtml) : SaveAsFile(path);
        if (FAILED(hr)) {
            DeleteFileA(path);
            return 0;
        }
        if (html)
            m_extension = "htm";
        // Saved again: the earlier file is no longer anyone's.
        if (!m_tempPath.IsEmpty() && m_tempPath.CompareNoCase(path) != 0)
            DeleteFileA(m_tempPath);
        m_tempPath = path;
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
