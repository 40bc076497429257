#include "shared/xml/XMLIO.h"

#include "shared/xml/Base64Coder.h"
#include "shared/requests/FileMgr.h"
#include "shared/xml/XmlEscape.h"

CXMLIO::~CXMLIO()
{
    Close();
}

HRESULT CXMLIO::OpenOutputFile(CString& path, const char* suffix)
{
    path.Empty();
    Close();
    CString name;
    HANDLE file = CreateNewTempFile(nullptr, suffix, name);
    if (file == INVALID_HANDLE_VALUE)
        return E_FAIL;
    m_output.Reset(file);
    m_outputPath = name;
    path = m_outputPath;
    return S_OK;
}

HRESULT CXMLIO::WriteIntElement(const char* tag, int value)
{
    char number[16];
    wsprintfA(number, "%d", value);
    return WriteElement(tag, number, FALSE, FALSE);
}

HRESULT CXMLIO::WriteElement(const char* tag, const char* value, BOOL skipEmpty, BOOL escape)
{
    const bool hasTag = tag && *tag;
    const bool hasValue = value && *value;
    CString text;
    if (hasValue && hasTag) {
        CString content(value);
        if (escape)
            XmlEscape(content);
        text.Format("<%s>%s</%s>\n", tag, content.GetString(), tag);
    } else if (hasValue) {
        text = value;
    } else if (hasTag) {
        if (skipEmpty)
            return S_OK;
        text.Format("<%s></%s>\n", tag, tag);
    } else {
        return E_INVALIDARG;
    }

    if (m_output.IsValid()) {
        DWORD written = 0;
        if (!WriteFile(m_output.Get(), text.GetString(), text.GetLength(), &written, nullptr) ||
            written != static_cast<DWORD>(text.GetLength()))
            return E_FAIL;
    } else {
        m_buffer += text;
    }
    return S_OK;
}

void CXMLIO::Close()
{
    m_buffer.Empty();
    m_output.Reset();
    m_outputPath.Empty();
}

HRESULT CXMLIO::DecodeFileToTemp(const char* source, const char* format, CString& path)
{
    path.Empty();
    CFileMgr names;
    if (!names.MakeTempName(format && *format ? format : nullptr))
        return E_FAIL;
    CString target = names.GetFilePath();
    if (format && *format) {
        // A reshaped name is free but not yet ours: made here, never taken over.
        HANDLE file = CreateFileA(target, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return E_FAIL;
        CloseHandle(file);
    }

    File64Coder coder;
    if (!coder.DecodeFile(source, target)) {
        DeleteFileA(target);
        return E_FAIL;
    }
    path = target;
    return S_OK;
}

CXMLElem::~CXMLElem()
{
    m_tempFile.reset();
}

HRESULT CXMLElem::CreateTempFile()
{
    CFileMgr names;
    if (!names.MakeTempName(nullptr))
        return E_FAIL;
    auto file = std::make_unique<CFile>();
    // The system made this file for us a moment ago; it is empty and ours.
    if (!file->Open(names.GetFilePath(),
                    CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive)) {
        DeleteFileA(names.GetFilePath());
        return E_FAIL;
    }
    m_tempPath = names.GetFilePath();
    m_tempFile = std::move(file);
    return S_OK;
}
